#include <gtest/gtest.h>

#include "language/language_names.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ScopedEnv;

TEST(LanguageNames, RowsByIdentifier) {
    EXPECT_EQ(std::u16string(language_row(9).code), u"EN");
    EXPECT_EQ(std::u16string(language_row(9).name), u"ENGLISH");
    EXPECT_EQ(std::u16string(language_row(25).name), u"RUSSIAN");
    EXPECT_EQ(std::u16string(language_row(0x23).name), u"BYELORUSSIAN");
    EXPECT_EQ(std::u16string(language_row(97).code), u"NE");
    EXPECT_EQ(std::u16string(language_row(97).name), u"NEPALI");
    for (int empty : {0, 0x17, 0x28, 0x5A, 98, -1, 1000}) {
        EXPECT_EQ(std::u16string(language_row(empty).name), u"") << empty;
    }
    int named = 0;
    for (int id = 0; id <= kLastLanguageRow; ++id)
        named += *language_row(id).name != 0;
    EXPECT_EQ(named, 67);
}

TEST(LanguageNames, IdentifierToName) {
    std::u16string code;
    EXPECT_EQ(language_name_for(0x0409, &code), u"ENGLISH");
    EXPECT_EQ(code, u"EN");
    EXPECT_EQ(language_name_for(0x0419), u"RUSSIAN");
    EXPECT_EQ(language_name_for(0x0063, &code), u"");  // primary 99: above the table
    EXPECT_EQ(code, u"");
    EXPECT_EQ(language_name_for(0), u"");
}

TEST(LanguageNames, LocaleNames) {
    EXPECT_EQ(language_id_from_locale("ru_RU.UTF-8"), 0x0419u);
    EXPECT_EQ(primary_language(language_id_from_locale("ru_RU.UTF-8")), 25);
    EXPECT_EQ(language_id_from_locale("de"), 0x0407u);
    EXPECT_EQ(language_id_from_locale("pt_BR.UTF-8@euro"), 0x0416u);
    EXPECT_EQ(language_id_from_locale("EN-us"), 0x0409u);
    EXPECT_EQ(language_name_for(language_id_from_locale("nb_NO.UTF-8")), u"NORWEGIAN");
    EXPECT_EQ(language_id_from_locale("C"), 0u);
    EXPECT_EQ(language_id_from_locale("POSIX"), 0u);
    EXPECT_EQ(language_id_from_locale("C.UTF-8"), 0u);
    EXPECT_EQ(language_id_from_locale(""), 0u);
    EXPECT_EQ(language_id_from_locale("xx_YY"), 0u);
}

TEST(LanguageNames, SystemLanguageFollowsLocaleVariables) {
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", "ru_RU.UTF-8");
    std::u16string code;
    EXPECT_EQ(system_language_name(&code), u"RUSSIAN");
    EXPECT_EQ(code, u"RU");
    {
        ScopedEnv m("LC_MESSAGES", "fr_FR.UTF-8");
        EXPECT_EQ(system_language_name(), u"FRENCH");
        ScopedEnv a("LC_ALL", "C");
        EXPECT_EQ(system_language_name(), u"");
    }
    ScopedEnv none("LANG", std::nullopt);
    EXPECT_EQ(system_language_id(), 0u);
}

}  // namespace
}  // namespace vistrel
