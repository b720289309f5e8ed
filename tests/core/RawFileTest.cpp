#include "core/RawFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>

namespace hookmeter {
namespace {

using test::BinaryTrace;
using test::TextTrace;
using test::TTempDir;
using test::WriteFile;

struct TReadOutcome {
    std::vector<RawRecord> Valid;
    int Invalid = 0;
};

// Reads to the end the way the first pass does.
TReadOutcome ReadAll(TRawFile& file) {
    TReadOutcome outcome;
    RawRecord record;
    for (;;) {
        ReadResult result = file.ReadRecord(record);
        if (result == ReadResult::EndOfFile)
            return outcome;
        if (result == ReadResult::Valid)
            outcome.Valid.push_back(record);
        else
            ++outcome.Invalid;
    }
}

TReadOutcome ReadFileContent(const std::string& content, RawForm fileType) {
    TTempDir dir;
    WriteFile(dir.File("raw"), content);
    TRawFile file;
    EXPECT_TRUE(file.Open(dir.File("raw"), fileType));
    return ReadAll(file);
}

bool Parse(const std::string& line, uint32_t& value) {
    return ParseHexLine(line.data(), line.size(), value);
}

TEST(ParseHexLine, TakesZeroXThenHexDigitsAndIgnoresTheRest) {
    uint32_t value = 0;
    EXPECT_TRUE(Parse("0x8124\n", value));
    EXPECT_EQ(value, 0x8124u);
    EXPECT_TRUE(Parse("0xABCdef12\r\n", value));
    EXPECT_EQ(value, 0xABCDEF12u);
    EXPECT_TRUE(Parse("0x10 trailing words", value));
    EXPECT_EQ(value, 0x10u);
    EXPECT_TRUE(Parse("0x0", value)); // the last line of a file may lack its line feed
    EXPECT_EQ(value, 0u);
}

TEST(ParseHexLine, RejectsLinesThatDoNotStartWithZeroX) {
    uint32_t value = 0;
    EXPECT_FALSE(Parse("0X8124\n", value));
    EXPECT_FALSE(Parse(" 0x8124\n", value));
    EXPECT_FALSE(Parse("8124\n", value));
    EXPECT_FALSE(Parse("0x\n", value));
    EXPECT_FALSE(Parse("0xg\n", value));
    EXPECT_FALSE(Parse("\n", value));
    EXPECT_FALSE(Parse(std::string("0x\0"
                                   "1",
                                   4),
                       value));
}

TEST(RawFileText, ThreeLinesMakeOneRecord) {
    TReadOutcome outcome = ReadFileContent("header\n0x8124\n0x10\n0x2\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x8124u);
    EXPECT_EQ(outcome.Valid[0].TSC, 8589934608ull);
    EXPECT_EQ(outcome.Invalid, 0);
}

TEST(RawFileText, TheFirstLineIsAlwaysAHeader) {
    TReadOutcome outcome = ReadFileContent("0x8124\n", RawForm::Text);
    EXPECT_TRUE(outcome.Valid.empty());
    EXPECT_EQ(outcome.Invalid, 0);
    outcome = ReadFileContent("0x8124\n0x8128\n0x1\n0x0\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x8128u);
}

TEST(RawFileText, ALongHeaderLeavesItsRemainderAsARecordLine) {
    // 63 characters are dropped; the rest, "0x40", is the next record's address line.
    std::string header(63, 'h');
    TReadOutcome outcome = ReadFileContent(header + "0x40\n0x5\n0x0\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x40u);
    EXPECT_EQ(outcome.Valid[0].TSC, 5u);
}

TEST(RawFileText, LongLinesAreReadInPiecesOfSixtyThreeCharacters) {
    // The TSC low line is 68 characters long: its first 63 give 0x5, and its remainder "0x48"
    // is read as the next line, the TSC high.
    std::string longLine = "0x5" + std::string(60, ' ') + "0x48\n";
    TReadOutcome outcome =
        ReadFileContent("h\n0x44\n" + longLine + "0x0\n0x7\n0x0\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 2u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x44u);
    EXPECT_EQ(outcome.Valid[0].TSC, 0x48ull << 32 | 5);
    EXPECT_EQ(outcome.Valid[1].Address, 0u);
    EXPECT_EQ(outcome.Valid[1].TSC, 7u);
    EXPECT_EQ(outcome.Invalid, 0);
}

TEST(RawFileText, ALineOfExactlySixtyThreeCharactersLeavesItsLineFeedAsAnEmptyLine) {
    std::string line = "0x44" + std::string(59, ' ') + "\n"; // 63 characters, then the line feed
    TReadOutcome outcome = ReadFileContent("h\n" + line + "0x1\n0x0\n", RawForm::Text);
    // The lone line feed is the TSC low line and fails the record; "0x1" and "0x0" then make
    // a record cut short by the end.
    EXPECT_TRUE(outcome.Valid.empty());
    EXPECT_EQ(outcome.Invalid, 2);
}

TEST(RawFileText, CarriageReturnsAreHarmless) {
    TReadOutcome outcome = ReadFileContent("header\r\n0x8124\r\n0x10\r\n0x2\r\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].TSC, 8589934608ull);
}

TEST(RawFileText, ABrokenLineCostsOneFailedReadAndReadingGoesOnAtTheNextLine) {
    TReadOutcome outcome = ReadFileContent("h\n0x100\nbroken\n0x104\n0x7\n0x0\n", RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x104u);
    EXPECT_EQ(outcome.Invalid, 1);
}

TEST(RawFileText, ARecordCutShortByTheEndIsOneFailedRead) {
    TReadOutcome outcome = ReadFileContent("h\n0x100\n0x5\n0x0\n0x104\n0x6\n", RawForm::Text);
    EXPECT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Invalid, 1);
}

TEST(RawFileBinary, SixteenByteLittleEndianRecords) {
    std::string bytes = {'\x24', '\x81', 0, 0, 'a', 'b', 'c', 'd', '\x10', 0, 0, 0, 2, 0, 0, 0};
    TReadOutcome outcome = ReadFileContent(bytes, RawForm::Binary);
    ASSERT_EQ(outcome.Valid.size(), 1u);
    EXPECT_EQ(outcome.Valid[0].Address, 0x8124u);
    EXPECT_EQ(outcome.Valid[0].TSC, 8589934608ull);
}

TEST(RawFileBinary, TrailingBytesAreOneInvalidRecord) {
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 10; ++i)
        records.push_back(test::Enter(0x100, i));
    EXPECT_EQ(ReadFileContent(BinaryTrace(records), RawForm::Binary).Valid.size(), 10u);
    TReadOutcome outcome = ReadFileContent(BinaryTrace(records) + "xyz", RawForm::Binary);
    EXPECT_EQ(outcome.Valid.size(), 10u);
    EXPECT_EQ(outcome.Invalid, 1);
}

TEST(RawFileBinary, ReadsAcrossBufferBoundaries) {
    // More than one read block, with a count that does not divide it evenly.
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 100003; ++i)
        records.push_back({uint32_t(i * 4) | uint32_t(i % 4), 0, i * 3});
    TReadOutcome outcome = ReadFileContent(BinaryTrace(records), RawForm::Binary);
    ASSERT_EQ(outcome.Valid.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(outcome.Valid[i].Address, records[i].Address);
        ASSERT_EQ(outcome.Valid[i].TSC, records[i].TSC);
    }
}

TEST(RawFileText, ReadsAcrossBufferBoundaries) {
    std::vector<RawRecord> records;
    for (uint64_t i = 0; i < 60001; ++i)
        records.push_back({uint32_t(i * 4) | uint32_t(i % 4), 0, (i << 32) | (i * 7)});
    TReadOutcome outcome = ReadFileContent(TextTrace(records), RawForm::Text);
    ASSERT_EQ(outcome.Valid.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(outcome.Valid[i].Address, records[i].Address);
        ASSERT_EQ(outcome.Valid[i].TSC, records[i].TSC);
    }
}

TEST(RawFile, ValidityTestsTheAddressAndTheTopFourBitsOfTheTSC) {
    std::vector<RawRecord> records = {
        {0xFFFFFFFFu, 0, 1},               // invalid whatever its TSC
        {0x100, 0, 0x0FFFFFFFFFFFFFFFull}, // the largest valid TSC
        {0x104, 0, 0x1000000000000000ull}, // a top bit set
        {0xFFFFFFFEu, 0, 5},               // kind bits are never tested
    };
    for (RawForm fileType : {RawForm::Text, RawForm::Binary}) {
        std::string content =
            fileType == RawForm::Binary ? BinaryTrace(records) : TextTrace(records);
        TReadOutcome outcome = ReadFileContent(content, fileType);
        ASSERT_EQ(outcome.Valid.size(), 2u);
        EXPECT_EQ(outcome.Valid[0].Address, 0x100u);
        EXPECT_EQ(outcome.Valid[1].Address, 0xFFFFFFFEu);
        EXPECT_EQ(outcome.Invalid, 2);
    }
}

TEST(RawFile, RewindStartsAgainAfterTheHeader) {
    TTempDir dir;
    std::vector<RawRecord> records = {test::Enter(0x100, 1), test::Exit(0x100, 2)};
    for (RawForm fileType : {RawForm::Text, RawForm::Binary}) {
        // A header that looks like a record line must never be read as one.
        WriteFile(dir.File("raw"), fileType == RawForm::Binary ? BinaryTrace(records)
                                                               : TextTrace(records, "0x8124"));
        TRawFile file;
        ASSERT_TRUE(file.Open(dir.File("raw"), fileType));
        EXPECT_EQ(ReadAll(file).Valid.size(), 2u);
        EXPECT_TRUE(file.AtEnd());
        file.Rewind();
        EXPECT_FALSE(file.AtEnd());
        TReadOutcome again = ReadAll(file);
        ASSERT_EQ(again.Valid.size(), 2u) << "binary " << (fileType == RawForm::Binary);
        EXPECT_EQ(again.Valid[0].Address, 0x100u);
        EXPECT_EQ(again.Invalid, 0);
    }
}

// The text form read by its rules alone, one character at a time (an oracle that repeats the
// rules on purpose): pieces of at most 63 characters up to and including a line feed, each a
// number when it starts with "0x" and hexadecimal digits, wider than 32 bits only with leading
// zeros; the first piece is the header.
std::vector<std::optional<RawRecord>> ReadByTheRules(const std::string& text) {
    size_t at = 0;
    enum class Piece { Number, NoNumber, NoLine };
    auto readPiece = [&](uint32_t& value) {
        if (at == text.size())
            return Piece::NoLine;
        size_t start = at;
        while (at < text.size() && at - start < 63)
            if (text[at++] == '\n')
                break;
        std::string piece = text.substr(start, at - start);
        if (piece.size() < 3 || piece.compare(0, 2, "0x") != 0)
            return Piece::NoNumber;
        size_t end = 2;
        while (end < piece.size() && std::isxdigit(static_cast<unsigned char>(piece[end])))
            ++end;
        size_t first = piece.find_first_not_of('0', 2);
        if (end == 2 || (first < end && end - first > 8))
            return Piece::NoNumber;
        value = uint32_t(std::stoull(piece.substr(2, end - 2), nullptr, 16));
        return Piece::Number;
    };
    std::vector<std::optional<RawRecord>> reads;
    uint32_t fields[3];
    readPiece(fields[0]);
    for (;;) {
        Piece piece = Piece::Number;
        for (int i = 0; i < 3 && piece == Piece::Number; ++i) {
            piece = readPiece(fields[i]);
            if (piece == Piece::NoLine && i == 0)
                return reads;
        }
        RawRecord record{fields[0], 0, uint64_t(fields[2]) << 32 | fields[1]};
        if (piece == Piece::Number && IsValidRecord(record))
            reads.push_back(record);
        else
            reads.push_back(std::nullopt);
    }
}

// Lines of every kind a damaged text trace holds, most of them numbers.
std::string RandomLine(std::mt19937& random) {
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto digits = [&](int count, bool leadingNonZero) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            int digit = (i == 0 && leadingNonZero) ? 1 + pick(15) : pick(16);
            text += "0123456789abcdefABCDEF"[digit < 10 ? digit : digit + (pick(2) ? 0 : 6)];
        }
        return text;
    };
    const char* endings[] = {"\n", "\r\n", " trailing words\n", "g\n", "\r0x1\n"};
    switch (pick(16)) {
    case 0:
        return "0x" + std::string(size_t(pick(9)), '0') + digits(1 + pick(8), false) + "\n";
    case 1:
        return "0x" + digits(9 + pick(4), true) + "\n"; // wider than 32 bits
    case 2: {
        const char* broken[] = {"\n",    "\r\n", "0X12\n", " 0x12\n", "0x\n",
                                "0xg\n", "x\n",  "0\n",    "0x\r\n"};
        return broken[pick(9)];
    }
    case 3: // a long line, read in pieces that may themselves be numbers
        return "0x" + digits(1 + pick(8), false) + std::string(size_t(50 + pick(80)), ' ') + "0x" +
               digits(1 + pick(8), false) + "\n";
    case 4: {
        std::string bytes;
        for (int i = pick(20); i > 0; --i)
            bytes += char(pick(256));
        return bytes + "\n";
    }
    case 5: // an address line that makes its record invalid
        return "0xffffffff\n";
    case 6: { // digits, any other byte, and digits that are not part of the number
        char stop;
        do
            stop = char(pick(256));
        while (std::isxdigit(static_cast<unsigned char>(stop)) || stop == '\n');
        return "0x" + digits(1 + pick(4), false) + stop + digits(1 + pick(3), false) + "\n";
    }
    default:
        return "0x" + digits(1 + pick(8), false) + endings[pick(10) < 8 ? 0 : 1 + pick(4)];
    }
}

TEST(RawFileText, ReadsWhatTheLineRulesSayInTheFirstPassAndFromItsSpool) {
    // From a few lines to more than one read block and more read attempts than the spool holds
    // in memory; with vector instructions where the processor has them, and without.
    for (int run = 0; run < 10; ++run) {
        int lines = std::array{0, 1, 7, 500, 200000}[run % 5];
        TTextRecordDecoder::UseVectorInstructions(run < 5);
        std::mt19937 random{unsigned(lines)};
        std::string text = RandomLine(random); // the header
        for (int i = 0; i < lines; ++i)
            text += RandomLine(random);
        if (lines % 2 == 1 && !text.empty())
            text.pop_back(); // the last line without its line feed
        std::vector<std::optional<RawRecord>> expected = ReadByTheRules(text);
        TTempDir dir;
        WriteFile(dir.File("raw"), text);
        TRawFile file;
        ASSERT_TRUE(file.Open(dir.File("raw"), RawForm::Text));
        for (int pass = 0; pass < 3; ++pass) {
            // The first pass, then the search's sweep and one after the replay wraps.
            if (pass > 0) {
                ASSERT_TRUE(pass == 2 || file.FixContent());
                ASSERT_TRUE(file.Rewind());
            }
            for (size_t i = 0; i < expected.size(); ++i) {
                RawRecord record{};
                ReadResult result = file.ReadRecord(record);
                ASSERT_EQ(result, expected[i] ? ReadResult::Valid : ReadResult::Invalid)
                    << "run " << run << ", pass " << pass << ", read " << i;
                if (expected[i]) {
                    ASSERT_EQ(record.Address, expected[i]->Address) << "read " << i;
                    ASSERT_EQ(record.TSC, expected[i]->TSC) << "read " << i;
                }
            }
            RawRecord record;
            ASSERT_EQ(file.ReadRecord(record), ReadResult::EndOfFile) << "lines " << lines;
            EXPECT_EQ(file.Problem(), RawFileProblem::None);
        }
    }
    TTextRecordDecoder::UseVectorInstructions(true);
}

TEST(RawFile, OpenFailsForAMissingFile) {
    TTempDir dir;
    TRawFile file;
    EXPECT_FALSE(file.Open(dir.File("missing"), RawForm::Binary));
    EXPECT_FALSE(file.Open("", RawForm::Text));
}

} // namespace
} // namespace hookmeter
