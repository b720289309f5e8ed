#include "analysis/TimelineForm.h"

namespace hookmeter {
namespace {

bool EndsWith(std::string_view name, std::string_view ending) {
    if (name.size() < ending.size())
        return false;
    name.remove_prefix(name.size() - ending.size());
    for (size_t i = 0; i < ending.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != ending[i])
            return false;
    }
    return true;
}

} // namespace

const char* const TimelineEndings = ".pftrace or .perfetto-trace (Perfetto) or .json (JSON)";

std::optional<TimelineForm> TimelineFormOf(std::string_view fileName) {
    if (EndsWith(fileName, ".pftrace") || EndsWith(fileName, ".perfetto-trace"))
        return TimelineForm::Perfetto;
    if (EndsWith(fileName, ".json"))
        return TimelineForm::Json;
    return std::nullopt;
}

} // namespace hookmeter
