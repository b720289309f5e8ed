#include "ImageBuilders.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace hookmeter::test {

void PutU16(Bytes& bytes, size_t offset, uint16_t value, bool bigEndian) {
    bytes.at(offset + (bigEndian ? 0 : 1)) = uint8_t(value >> 8);
    bytes.at(offset + (bigEndian ? 1 : 0)) = uint8_t(value);
}

void PutU32(Bytes& bytes, size_t offset, uint32_t value, bool bigEndian) {
    for (size_t i = 0; i < 4; ++i)
        bytes.at(offset + (bigEndian ? 3 - i : i)) = uint8_t(value >> (8 * i));
}

namespace {

void Append(Bytes& bytes, const void* data, size_t size) {
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), begin, begin + size);
}

void PadTo(Bytes& bytes, size_t alignment) {
    while (bytes.size() % alignment)
        bytes.push_back(0);
}

// A string table: a leading NUL, then each distinct name once; offsets by name.
struct StringTable {
    Bytes Data{0};
    std::map<std::string, uint32_t> Offsets;

    uint32_t Add(const std::string& name) {
        if (name.empty())
            return 0;
        auto [it, added] = Offsets.emplace(name, uint32_t(Data.size()));
        if (added) {
            Append(Data, name.data(), name.size());
            Data.push_back(0);
        }
        return it->second;
    }
};

} // namespace

CoffEntryBytes CoffEntry(const std::string& inlineName, uint32_t value, int8_t storageClass,
                         uint8_t auxCount, uint32_t stringOffset) {
    CoffEntryBytes entry{};
    Bytes bytes(entry.begin(), entry.end());
    if (inlineName.empty() || inlineName.size() > 8)
        PutU32(bytes, 4, stringOffset);
    else
        std::memcpy(bytes.data(), inlineName.data(), inlineName.size());
    PutU32(bytes, 8, value);
    bytes[16] = uint8_t(storageClass);
    bytes[17] = auxCount;
    std::copy(bytes.begin(), bytes.end(), entry.begin());
    return entry;
}

CoffBuilder& CoffBuilder::Symbol(const std::string& name, uint32_t value, int8_t storageClass,
                                 std::vector<CoffEntryBytes> auxEntries) {
    Entries.push_back({name, value, storageClass, name.size() > 8, std::move(auxEntries)});
    return *this;
}

CoffBuilder& CoffBuilder::StringTableSymbol(const std::string& name, uint32_t value,
                                            int8_t storageClass) {
    Entries.push_back({name, value, storageClass, true, {}});
    return *this;
}

CoffImage CoffBuilder::Build() const {
    // A string table starts with its own 4-byte size; name offsets count from its first byte.
    Bytes strings(4, 0);
    Bytes table;
    uint32_t count = 0;
    for (const Entry& entry : Entries) {
        uint32_t stringOffset = 0;
        if (entry.InStringTable) {
            stringOffset = uint32_t(strings.size());
            Append(strings, entry.Name.data(), entry.Name.size());
            strings.push_back(0);
        }
        const CoffEntryBytes bytes =
            CoffEntry(entry.InStringTable ? std::string() : entry.Name, entry.Value,
                      entry.StorageClass, uint8_t(entry.Aux.size()), stringOffset);
        Append(table, bytes.data(), bytes.size());
        for (const CoffEntryBytes& aux : entry.Aux)
            Append(table, aux.data(), aux.size());
        count += 1 + uint32_t(entry.Aux.size());
    }
    PutU32(strings, 0, uint32_t(strings.size()));

    CoffImage image;
    image.Data.assign(22, 0);
    PutU16(image.Data, 0, 0x00C2);
    PutU16(image.Data, 2, 1); // section headers, never read
    // A little room between header and table, where the optional header would be.
    image.Data.resize(40, 0xEE);
    image.SymbolTableOffset = uint32_t(image.Data.size());
    PutU32(image.Data, 8, image.SymbolTableOffset);
    PutU32(image.Data, 12, count);
    PutU16(image.Data, 20, 0x0099);
    Append(image.Data, table.data(), table.size());
    image.StringTableOffset = uint32_t(image.Data.size());
    Append(image.Data, strings.data(), strings.size());
    return image;
}

ElfBuilder::ElfBuilder(bool bigEndian) : BigEndian(bigEndian) {}

ElfBuilder& ElfBuilder::Symbol(const std::string& name, uint32_t value, ElfBinding binding) {
    Entries.push_back({name, value, binding});
    return *this;
}

ElfBuilder& ElfBuilder::Order(std::vector<ElfSection> sections) {
    Sections = std::move(sections);
    return *this;
}

ElfBuilder& ElfBuilder::LinkStringTable(bool link) {
    Link = link;
    return *this;
}

ElfBuilder& ElfBuilder::SymbolEntrySize(uint32_t size) {
    EntrySize = size;
    return *this;
}

ElfImage ElfBuilder::Build() const {
    StringTable names;
    Bytes symbols(EntrySize, 0); // the null symbol
    for (const Entry& entry : Entries) {
        Bytes symbol(std::max<uint32_t>(EntrySize, 16), 0);
        PutU32(symbol, elf::StName, names.Add(entry.Name), BigEndian);
        PutU32(symbol, elf::StValue, entry.Value, BigEndian);
        PutU32(symbol, 8, 4, BigEndian); // st_size, never read
        symbol[elf::StInfo] = uint8_t(entry.Binding << 4 | 2);
        PutU16(symbol, 14, 1, BigEndian); // st_shndx, never read
        symbol.resize(EntrySize);
        Append(symbols, symbol.data(), symbol.size());
    }
    Bytes decoy = names.Data;
    std::transform(decoy.begin(), decoy.end(), decoy.begin(),
                   [](uint8_t c) { return uint8_t(std::toupper(c)); });
    StringTable sectionNames;
    const auto sectionName = [&](ElfSection section) {
        switch (section) {
        case ElfSection::SymbolTable:
            return sectionNames.Add(".symtab");
        case ElfSection::StringTable:
            return sectionNames.Add(".strtab");
        case ElfSection::SectionNames:
            return sectionNames.Add(".shstrtab");
        case ElfSection::DecoyStringTable:
            return sectionNames.Add(".dynstr");
        }
        return 0u;
    };
    std::vector<uint32_t> nameOffsets;
    for (ElfSection section : Sections)
        nameOffsets.push_back(sectionName(section));

    ElfImage image{};
    Bytes& data = image.Data;
    data.assign(52, 0);
    const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, uint8_t(BigEndian ? 2 : 1), 1};
    std::memcpy(data.data(), ident, sizeof ident);
    PutU16(data, 16, 2, BigEndian);  // e_type: executable
    PutU16(data, 18, 20, BigEndian); // e_machine, never read
    PutU32(data, 20, 1, BigEndian);  // e_version
    PutU16(data, 40, 52, BigEndian); // e_ehsize

    // Section contents in the order given, then the section headers.
    std::vector<uint32_t> offsets, sizes;
    for (ElfSection section : Sections) {
        PadTo(data, 4);
        const Bytes& contents = section == ElfSection::SymbolTable    ? symbols
                                : section == ElfSection::StringTable  ? names.Data
                                : section == ElfSection::SectionNames ? sectionNames.Data
                                                                      : decoy;
        offsets.push_back(uint32_t(data.size()));
        sizes.push_back(uint32_t(contents.size()));
        Append(data, contents.data(), contents.size());
    }
    PadTo(data, 4);
    image.SectionHeadersOffset = uint32_t(data.size());
    data.resize(data.size() + 40 * (Sections.size() + 1), 0);

    const auto indexOf = [&](ElfSection wanted) -> uint32_t {
        const auto it = std::find(Sections.begin(), Sections.end(), wanted);
        return it == Sections.end() ? 0 : uint32_t(it - Sections.begin()) + 1;
    };
    for (size_t i = 0; i < Sections.size(); ++i) {
        const size_t header = image.SectionHeadersOffset + 40 * (i + 1);
        const ElfSection section = Sections[i];
        const bool isSymbols = section == ElfSection::SymbolTable;
        PutU32(data, header, nameOffsets[i], BigEndian);
        PutU32(data, header + elf::ShType, isSymbols ? 2 : 3, BigEndian);
        PutU32(data, header + elf::ShOffset, offsets[i], BigEndian);
        PutU32(data, header + elf::ShSize, sizes[i], BigEndian);
        if (isSymbols) {
            PutU32(data, header + elf::ShLink, Link ? indexOf(ElfSection::StringTable) : 0,
                   BigEndian);
            PutU32(data, header + 28, 1, BigEndian); // sh_info, never read
            PutU32(data, header + elf::ShEntSizeField, EntrySize, BigEndian);
            image.SymbolTableHeaderOffset = uint32_t(header);
            image.SymbolTableOffset = offsets[i];
        }
        if (section == ElfSection::StringTable) {
            image.StringTableHeaderOffset = uint32_t(header);
            image.StringTableOffset = offsets[i];
            image.StringTableSize = sizes[i];
        }
    }
    PutU32(data, elf::ShOff, image.SectionHeadersOffset, BigEndian);
    PutU16(data, elf::ShEntSize, 40, BigEndian);
    PutU16(data, elf::ShNum, uint16_t(Sections.size() + 1), BigEndian);
    PutU16(data, elf::ShStrNdx, uint16_t(indexOf(ElfSection::SectionNames)), BigEndian);
    return image;
}

} // namespace hookmeter::test
