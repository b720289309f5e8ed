// Writes a deterministic synthetic trace: a few tasks switched round-robin, a few hundred
// functions nesting up to 30 deep, in the binary or the text form.
//
//   generate-trace [--text] [--all-functions] [--records N] [--functions N] [--tasks N]
//                  [--seed N] OUTFILE
//
// --all-functions calls every one of the functions once before the calls turn random, so a
// short trace uses them all too (--functions 65536 fills the job's function table).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TSettings {
    uint64_t Records = 20'000'000;
    uint32_t Functions = 300;
    uint32_t Tasks = 4;
    uint64_t Seed = 1;
    bool Text = false;
    bool AllFunctions = false;
    const char* OutFile = nullptr;
};

class TRandom {
public:
    explicit TRandom(uint64_t seed) : State(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Below(uint32_t bound) { return uint32_t((Next() >> 32) * bound >> 32); }

private:
    uint64_t Next() {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        return State;
    }
    uint64_t State;
};

class TTraceWriter {
public:
    TTraceWriter(std::FILE* file, bool text) : File(file), Text(text) {
        if (Text)
            std::fputs("Hookmeter synthetic trace\n", File);
    }
    void Write(uint32_t address, uint64_t tsc) {
        if (Text) {
            std::fprintf(File, "0x%x\n0x%x\n0x%x\n", address, uint32_t(tsc), uint32_t(tsc >> 32));
            return;
        }
        unsigned char record[16];
        uint32_t words[4] = {address, 0, uint32_t(tsc), uint32_t(tsc >> 32)};
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b)
                record[w * 4 + b] = (unsigned char)(words[w] >> (8 * b));
        std::fwrite(record, 1, sizeof record, File);
    }

private:
    std::FILE* File;
    bool Text;
};

bool ParseArguments(int argc, char** argv, TSettings& settings) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--text") {
            settings.Text = true;
            continue;
        }
        if (argument == "--all-functions") {
            settings.AllFunctions = true;
            continue;
        }
        if (argument[0] != '-') {
            if (settings.OutFile != nullptr)
                return false;
            settings.OutFile = argv[i];
            continue;
        }
        if (i + 1 >= argc)
            return false;
        uint64_t value = std::strtoull(argv[++i], nullptr, 0);
        if (argument == "--records")
            settings.Records = value;
        else if (argument == "--functions")
            settings.Functions = uint32_t(value);
        else if (argument == "--tasks")
            settings.Tasks = uint32_t(value);
        else if (argument == "--seed")
            settings.Seed = value;
        else
            return false;
    }
    return settings.OutFile != nullptr && settings.Functions > 0 && settings.Tasks > 0;
}

} // namespace

int main(int argc, char** argv) {
    TSettings settings;
    if (!ParseArguments(argc, argv, settings)) {
        std::fputs("usage: generate-trace [--text] [--all-functions] [--records N] "
                   "[--functions N] [--tasks N] [--seed N] OUTFILE\n",
                   stderr);
        return 2;
    }
    std::FILE* file = std::fopen(settings.OutFile, "wb");
    if (file == nullptr) {
        std::perror(settings.OutFile);
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    constexpr uint32_t MaxDepth = 30;
    constexpr uint32_t FunctionBase = 0x00800000;
    constexpr uint32_t TaskBase = 0x00010000;
    TRandom random(settings.Seed);
    TTraceWriter writer(file, settings.Text);
    std::vector<std::vector<uint32_t>> stacks(settings.Tasks);
    uint32_t current = 0;
    uint64_t tsc = 1000;
    uint64_t written = 0;
    uint32_t nextUnused = settings.AllFunctions ? 0 : settings.Functions;
    auto emit = [&](uint32_t address) {
        tsc += 1 + random.Below(40);
        writer.Write(address, tsc);
        ++written;
    };
    emit(TaskBase | 2);
    while (written < settings.Records) {
        std::vector<uint32_t>& stack = stacks[current];
        uint32_t roll = random.Below(1000);
        if (roll < 4 && written + 2 <= settings.Records) {
            emit((TaskBase + current * 0x100) | 3);
            current = (current + 1) % settings.Tasks;
            emit((TaskBase + current * 0x100) | 2);
        } else if (stack.empty() || (stack.size() < MaxDepth && roll < 520)) {
            uint32_t index =
                nextUnused < settings.Functions ? nextUnused++ : random.Below(settings.Functions);
            uint32_t function = FunctionBase + index * 0x40;
            stack.push_back(function);
            emit(function);
        } else {
            emit(stack.back() | 1);
            stack.pop_back();
        }
    }
    if (std::fclose(file) != 0) {
        std::perror(settings.OutFile);
        return 1;
    }
    return 0;
}
