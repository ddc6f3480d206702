// Turns the shipped ZIP code CSV (ZIP,City,State) into the read-only ZIPCODES table.
#include "engine/Engine.h"
#include "engine/Query.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> csvFields(const std::string& line)
{
    std::vector<std::string> out(1);
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            out.emplace_back();
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_zipcodes zipcodes.csv output-folder\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string folder = argv[2];
    // Built in a scratch folder and moved into place whole, so a stopped build never
    // leaves a half-filled table beside the program.
    const std::string scratch = folder + "/.zipcodes-build";
    try {
        std::filesystem::remove_all(scratch);
        std::filesystem::create_directories(scratch);
        engine::createTable(scratch, "ZIPCODES", "ZIP,Char,5; City,Char,35; State,Char,2;");
        engine::Query q;
        q.setFolder(scratch);
        q.setSql("select count(*) from ZIPCODES"); // attaches the table before the transaction
        q.open();
        q.close();
        std::string line, batch = "begin;";
        std::getline(in, line); // header
        size_t count = 0;
        while (std::getline(in, line)) {
            auto f = csvFields(line);
            if (f.size() < 3 || f[0].size() != 5)
                continue;
            batch += "insert into ZIPCODES (ZIP, City, State) values(" + engine::quoted(f[0]) + "," +
                     engine::quoted(f[1]) + "," + engine::quoted(f[2]) + ");";
            ++count;
        }
        q.setSql(batch + "commit;");
        q.execSql();
        q.disconnect();
        engine::addIndex(scratch, "ZIPCODES", {"ZIP", "ZIP"});
        std::filesystem::rename(engine::tableFile(scratch, "ZIPCODES"), engine::tableFile(folder, "ZIPCODES"));
        std::filesystem::remove_all(scratch);
        std::cout << count << " ZIP codes\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
