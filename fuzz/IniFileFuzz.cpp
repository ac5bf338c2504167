// Any bytes as tunebarn.ini: the reader must not crash, and what the program stores must keep
// the value rules (at most 254 characters, no outer spaces).
#include "config/ConfigReader.h"
#include "core/ShowTableRecord.h"
#include "platform/IniFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkStored(const QString &value)
{
    check(value.toUcs4().size() <= ConfigReader::MaxValueLength);
    check(value.isEmpty() || (value.front() != u' ' && value.back() != u' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const IniFile ini = IniFile::parse(bytes);
    checkStored(ConfigReader::uploadUrl(ini));
    const ShowTableRecord table = ConfigReader::showTable(ini);
    check(table.Filename[0].isEmpty() && table.Title[0].isEmpty());
    for (int show = 1; show <= ShowTableRecord::MaxShows; ++show) {
        checkStored(table.Filename[show]);
        checkStored(table.Title[show]);
        checkStored(table.UploadDay[show]);
    }
    // Every key of a section's first appearance can be found; later appearances are ignored.
    QStringList seen;
    for (const IniFile::Section &section : ini.sections()) {
        const QString folded = section.name.toLower();
        if (seen.contains(folded))
            continue;
        seen.append(folded);
        for (const IniFile::Key &key : section.keys)
            check(ini.contains(section.name, key.name));
    }
    return 0;
}
