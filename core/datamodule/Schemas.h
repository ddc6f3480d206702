// The definition string of every table, exactly as the tables are created.
#pragma once

namespace schema {

inline constexpr const char* YourAddress =
    "A_ID,AutoInc; Address1,Char,50; Address2,Char,50;Address3,Char,50; Address4,Char,50;City,Char,35; State,Char,4; "
    "Zip,Char,10;";
inline constexpr const char* Address = YourAddress;
inline constexpr const char* Groups = "G_ID,AutoInc; Parent_ID,Integer; Group_Name,Char,40;";
inline constexpr const char* Members = "A_ID,Integer; G_ID,Integer;";
inline constexpr const char* MailerNum = "CustID,Char,9; SerialNum,Char,8; Increment,Logical;BarCodes,Logical";
inline constexpr const char* Log37 =
    "LID,AutoInc; DateTime,TimeStamp; MailerNum,Char,30; CustID,Char,11; SerialNum,Integer; ToAddress1,Char,50; "
    "ToAddress2,Char,50; ToAddress3,Char,50; ToAddress4,Char,50; ToCity,Char,35; ToState,Char,4; ToZip,Char,10; "
    "YourAddress1,Char,50; YourAddress2,Char,50; YourAddress3,Char,50; YourAddress4,Char,50; YourCity,Char,35; "
    "YourState,Char,4; YourZip,Char,10; Postage,Char,15; Certified,Char,15; Return,Char,15; Restricted,Char,15; "
    "Total,Char,15; Department,Char,20; ProcessedBy,Char,20; RE,Char,25; Comment,Char,35; WishRest,Logical; "
    "Batch,Logical; Result,Char,22;";
inline constexpr const char* LogFilters = "FilterName,Char,20; FilterCombination,Char,3;";
inline constexpr const char* LogFiltersDetail = "FilterName,Char,20; FieldName,Char,2; Operator,Char,2; Value,Char,40;";
inline constexpr const char* Reports = "ReportName,Char,20; Orientation,Char,1;";
inline constexpr const char* Report_Detail = "ReportName,Char,20; Field_Name,Char,15; FieldOrder,Integer;";
// The proof copies of printed mailers kept on a database server; the copy itself is a column of
// bytes beside these (see ServerTableDefs).
inline constexpr const char* Proofs = "PID,AutoInc; MailerNum,Char,22; Recipient,Char,50; Printed,TimeStamp;";

} // namespace schema
