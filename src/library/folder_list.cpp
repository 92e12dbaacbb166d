#include "library/folder_list.h"

#include <climits>
#include <map>

#include "platform/file_stream.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel {

namespace {

// Far beyond any real list (a hundred thousand folders take a few megabytes).
constexpr uint64_t kMaxFileBytes = uint64_t(64) << 20;

constexpr std::u16string_view kKeyPicture = u"KeyPicturePath";
constexpr std::u16string_view kDrivePath = u"DrivePath";
constexpr std::u16string_view kFolderSize = u"FolderSize";

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

// The file as text: UTF-16LE after the mark FF FE, else 8-bit text, read as UTF-8 when it
// is well-formed and one character per byte (Latin-1) when it is not.
std::u16string decode_text(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text;
        text.reserve((bytes.size() - 2) / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }
    const std::string_view narrow(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    bool well_formed = false;
    std::u16string text = from_utf8(narrow, &well_formed);
    if (well_formed) {
        if (!text.empty() && text.front() == u'\uFEFF') text.erase(0, 1);
        return text;
    }
    return std::u16string(bytes.begin(), bytes.end());
}

using KeyMap = std::map<std::u16string, std::u16string>;

void read_line(std::u16string_view line, KeyMap& map) {
    size_t i = 0;
    while (i < line.size() && is_space(line[i]))
        ++i;
    const size_t key_start = i;
    while (i < line.size() && !is_space(line[i]) && line[i] != u'=')
        ++i;
    if (i == key_start) return;
    std::u16string key(line.substr(key_start, i - key_start));
    if (i < line.size() && line[i] == u'=') {
        ++i;
    } else {
        while (i < line.size() && is_space(line[i]))
            ++i;
    }
    map[std::move(key)] = std::u16string(line.substr(i));
}

KeyMap read_key_map(const std::u16string& text) {
    KeyMap map;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) end = text.size();
        read_line(std::u16string_view(text).substr(start, end - start), map);
        start = end + 1;
    }
    return map;
}

// A leading decimal number, as the C library reads one; 0 when there is none. Values
// beyond 32 bits are clamped.
int32_t read_number(std::u16string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int64_t value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i++] - u'0');
        if (value > int64_t(INT_MAX) + 1) value = int64_t(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int32_t>(value);
}

bool starts_with(const std::u16string& key, std::u16string_view prefix) {
    return is_prefix_of(prefix, key);
}

void append_line(std::u16string& text, std::u16string_view name, size_t index,
                 std::u16string_view value) {
    text.append(name);
    text.append(to_u16(static_cast<int64_t>(index)));
    text.push_back(u'\t');
    text.append(value);
    text.push_back(u'\n');
}

}  // namespace

void parse_folders(const std::vector<uint8_t>& bytes, std::vector<Folder>& folders) {
    const KeyMap map = read_key_map(decode_text(bytes));
    const size_t first = folders.size();
    for (const auto& [key, value] : map) {
        if (!starts_with(key, kKeyPicture)) continue;
        Folder folder;
        folder.key_picture = value;
        folder.folder_path = directory_part(value);
        folders.push_back(std::move(folder));
    }
    size_t rank = first;
    for (const auto& [key, value] : map) {
        if (!starts_with(key, kFolderSize)) continue;
        if (rank == folders.size()) break;
        folders[rank++].size = read_number(value);
    }
    rank = first;
    for (const auto& [key, value] : map) {
        if (!starts_with(key, kDrivePath)) continue;
        if (rank == folders.size()) break;
        folders[rank++].drive_path = value;
    }
}

void load_folders(const std::u16string& path, std::vector<Folder>& folders) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, bytes, kMaxFileBytes)) return;
    parse_folders(bytes, folders);
}

std::vector<uint8_t> format_folders(const std::vector<Folder>& folders) {
    std::u16string text;
    for (size_t i = 0; i < folders.size(); ++i) {
        append_line(text, kKeyPicture, i, folders[i].key_picture);
        append_line(text, kDrivePath, i, folders[i].drive_path);
        append_line(text, kFolderSize, i, to_u16(folders[i].size));
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(2 + 2 * text.size());
    bytes.push_back(0xFF);
    bytes.push_back(0xFE);
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

bool save_folders(const std::u16string& path, const std::vector<Folder>& folders) {
    const std::vector<uint8_t> bytes = format_folders(folders);
    const std::u16string temporary = path + u".tmp";
    bool written;
    {
        FileStream file(temporary, OpenMode::Write);
        written = file.is_open() && file.write(bytes.data(), bytes.size()) == bytes.size() &&
                  file.flush();
    }
    if (written && rename_file(temporary, path)) return true;
    delete_file(temporary);
    return false;
}

}  // namespace vistrel
