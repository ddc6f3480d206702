#include "core/ZipLookup.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"

void LookupZip(const QString& zipText, QString& city, QString& state)
{
    if (!city.trimmed().isEmpty() && !state.trimmed().isEmpty())
        return;
    const QString zip = zipText.left(5);
    if (zip.trimmed().size() != 5)
        return;
    engine::Query& q = dmDovraPro->adsqZipCodes;
    q.close();
    q.setSql("select * from ZIPCODES where ZIP = " + engine::quoted(toStd(zip)));
    q.open();
    if (!q.eof()) {
        if (city.trimmed().isEmpty())
            city = fromStd(q.asString("City"));
        if (state.trimmed().isEmpty())
            state = fromStd(q.asString("State"));
    }
    q.close();
}

ZipTable zipCodesTable()
{
    if (!engine::tableExists(dmDovraPro->adsqZipCodes.folder(), "ZIPCODES"))
        return {};
    return [](const QString& zip5) -> std::optional<ZipPlace> {
        engine::Query& q = dmDovraPro->adsqZipCodes;
        q.close();
        q.setSql("select City, State from ZIPCODES where ZIP = " + engine::quoted(toStd(zip5)));
        q.open();
        std::optional<ZipPlace> place;
        if (!q.eof())
            place = ZipPlace{fromStd(q.asString("City")), fromStd(q.asString("State"))};
        q.close();
        return place;
    };
}
