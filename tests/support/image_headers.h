// The headers of an executable file, PE32 or PE32+, read straight from its
// bytes rather than through the loader, so that a build reads the other
// architecture's file too. Headers alone: away_host links nothing else.
#pragma once

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline Bytes ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Copies a header out of the file; false when it would reach past the end.
template <typename Header> bool ReadAt(const Bytes& bytes, size_t offset, Header& header) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof header)
        return false;
    std::memcpy(&header, bytes.data() + offset, sizeof header);
    return true;
}

// The parts of the optional header that are read; the two formats differ in
// the width of a few fields before these.
struct OptionalHeader {
    WORD magic = 0;
    DWORD entryPoint = 0;
    ULONGLONG imageBase = 0;
    DWORD sizeOfImage = 0;
    WORD subsystem = 0;
    WORD dllCharacteristics = 0;
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES]{};
};

struct Image {
    bool valid = false;
    size_t fileHeaderAt = 0, optionalAt = 0; // where the two headers lie in the file
    IMAGE_FILE_HEADER file{};
    OptionalHeader optional;
    std::vector<IMAGE_SECTION_HEADER> sections;
};

template <typename Header> bool ReadOptionalHeader(const Bytes& bytes, Image& image) {
    Header header{};
    if (!ReadAt(bytes, image.optionalAt, header))
        return false;
    image.optional = {header.Magic,       header.AddressOfEntryPoint, header.ImageBase,
                      header.SizeOfImage, header.Subsystem,           header.DllCharacteristics};
    std::memcpy(image.optional.directories, header.DataDirectory, sizeof header.DataDirectory);
    return true;
}

inline Image ParseImage(const Bytes& bytes) {
    Image image;
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    if (!ReadAt(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !ReadAt(bytes, dos.e_lfanew, signature) || signature != IMAGE_NT_SIGNATURE)
        return image;
    image.fileHeaderAt = dos.e_lfanew + sizeof signature;
    image.optionalAt = image.fileHeaderAt + sizeof image.file;
    if (!ReadAt(bytes, image.fileHeaderAt, image.file) ||
        !ReadAt(bytes, image.optionalAt, image.optional.magic) ||
        !(image.optional.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
              ? ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(bytes, image)
              : image.optional.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC &&
                    ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(bytes, image)))
        return image;
    size_t sectionAt = image.optionalAt + image.file.SizeOfOptionalHeader;
    for (WORD i = 0; i < image.file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, sectionAt + i * sizeof section, section))
            return image;
        image.sections.push_back(section);
    }
    image.valid = true;
    return image;
}
