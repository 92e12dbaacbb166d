#include "shell/key_codes.h"

#include <array>

namespace vistrel {

namespace {

struct KeyRow {
    KeyCode code;
    const char* name;      // null ends the table
    const char16_t* wide;  // empty in every row; kept for skins that need wide names
};

// Rows in stored order: 0..55, then 58, 59, 56, 57, 60..67. Only a name search sees it.
constexpr KeyRow kKeyRows[] = {
    {0, "None", nullptr},       {1, "Shift", nullptr},        {2, "Ctrl", nullptr},
    {3, "Alt", nullptr},        {4, "Left", nullptr},         {5, "Right", nullptr},
    {6, "Up", nullptr},         {7, "Down", nullptr},         {8, "Esc", nullptr},
    {9, "Enter", nullptr},      {10, "Space", nullptr},       {11, "Backspace", nullptr},
    {12, "Del", nullptr},       {13, "Insert", nullptr},      {14, "Home", nullptr},
    {15, "End", nullptr},       {16, "PageDown", nullptr},    {17, "PageUp", nullptr},
    {18, "Tab", nullptr},       {19, "ContextMenu", nullptr}, {20, "A", nullptr},
    {21, "B", nullptr},         {22, "C", nullptr},           {23, "D", nullptr},
    {24, "E", nullptr},         {25, "F", nullptr},           {26, "G", nullptr},
    {27, "H", nullptr},         {28, "I", nullptr},           {29, "J", nullptr},
    {30, "K", nullptr},         {31, "L", nullptr},           {32, "M", nullptr},
    {33, "N", nullptr},         {34, "O", nullptr},           {35, "P", nullptr},
    {36, "Q", nullptr},         {37, "R", nullptr},           {38, "S", nullptr},
    {39, "T", nullptr},         {40, "U", nullptr},           {41, "V", nullptr},
    {42, "W", nullptr},         {43, "X", nullptr},           {44, "Y", nullptr},
    {45, "Z", nullptr},         {46, "0", nullptr},           {47, "1", nullptr},
    {48, "2", nullptr},         {49, "3", nullptr},           {50, "4", nullptr},
    {51, "5", nullptr},         {52, "6", nullptr},           {53, "7", nullptr},
    {54, "8", nullptr},         {55, "9", nullptr},           {58, "CALL_MAKE", nullptr},
    {59, "CALL_END", nullptr},  {56, "*", nullptr},           {57, "#", nullptr},
    {60, "SLIDE", nullptr},     {61, "SOFT_LEFT", nullptr},   {62, "SOFT_RIGHT", nullptr},
    {63, "VOLUME_UP", nullptr}, {64, "VOLUME_DOWN", nullptr}, {65, "Plus", nullptr},
    {66, "Minus", nullptr},     {67, "F11", nullptr},         {0, nullptr, nullptr},
};

// Virtual-key numbers to key codes; 0 where unmapped.
constexpr std::array<KeyCode, 256> make_virtual_key_table() {
    std::array<KeyCode, 256> t{};
    t[8] = key::Backspace;
    // Escape is a key of its own (screens that go back on Backspace take it too).
    t[27] = key::Esc;
    t[9] = key::Tab;
    t[13] = key::Enter;
    t[16] = key::Shift;
    t[17] = key::Ctrl;
    t[18] = key::Alt;
    t[32] = key::Space;
    t[33] = key::PageUp;
    t[34] = key::PageDown;
    t[35] = key::End;
    t[36] = key::Home;
    t[37] = key::Left;
    t[38] = key::Up;
    t[39] = key::Right;
    t[40] = key::Down;
    t[45] = key::Insert;
    t[46] = key::Del;
    for (int i = 0; i < 10; ++i)
        t[48 + i] = key::Digit0 + i;
    for (int i = 0; i < 26; ++i)
        t[65 + i] = key::A + i;
    t[93] = key::ContextMenu;
    t[112] = key::SoftLeft;
    t[113] = key::SoftRight;
    t[114] = key::CallMake;
    t[115] = key::CallEnd;
    t[117] = key::VolumeUp;
    t[118] = key::VolumeDown;
    t[119] = key::Star;
    t[120] = key::Pound;
    t[107] = t[187] = key::Plus;  // keypad plus, the plus/equals key
    t[109] = t[189] = key::Minus;
    t[122] = key::F11;
    return t;
}

constexpr auto kVirtualKeys = make_virtual_key_table();

}  // namespace

KeyCode key_from_virtual_key(uint32_t virtual_key) {
    return virtual_key < kVirtualKeys.size() ? kVirtualKeys[virtual_key] : key::None;
}

std::string_view key_name(KeyCode code) {
    for (const KeyRow* row = kKeyRows; row->name; ++row)
        if (row->code == code) return row->name;
    return {};
}

std::optional<KeyCode> key_from_name(std::u16string_view name) {
    for (const KeyRow* row = kKeyRows; row->name; ++row) {
        if (row->wide && *row->wide) {
            if (name == row->wide) return row->code;
            continue;
        }
        const std::string_view narrow(row->name);
        if (narrow.size() != name.size()) continue;
        bool equal = true;
        for (size_t i = 0; i < narrow.size() && equal; ++i)
            equal = char16_t(static_cast<unsigned char>(narrow[i])) == name[i];
        if (equal) return row->code;
    }
    return std::nullopt;
}

Trace& operator<<(Trace& trace, KeyName key) {
    return trace << key_name(key.code);
}

}  // namespace vistrel
