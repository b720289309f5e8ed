#include "job/RawFormProbe.h"

#include <filesystem>
#include <system_error>

namespace hookmeter {
namespace {

constexpr int RecordsLookedAt = 1000;

} // namespace

bool FormReadsRecords(const std::string& fileName, RawForm form) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error))
        return false;
    TRawFile file;
    if (!file.Open(fileName, form))
        return false;
    int valid = 0, invalid = 0;
    RawRecord record;
    for (int read = 0; read < RecordsLookedAt; ++read) {
        const ReadResult result = file.ReadRecord(record);
        if (result == ReadResult::EndOfFile)
            break;
        ++(result == ReadResult::Valid ? valid : invalid);
    }
    file.Close();
    // Bytes of the other form now and then make a valid record by chance, never most of them.
    return valid > invalid;
}

} // namespace hookmeter
