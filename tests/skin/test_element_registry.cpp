#include <gtest/gtest.h>

#include "skin/element_registry.h"
#include "skin/skin_errors.h"

namespace vistrel {
// The registry needs only a declaration of Element; the tests give it a body of their own.
class Element {
public:
    explicit Element(Element* parent) : parent(parent) {}
    Element* parent;
};

namespace {

std::vector<std::unique_ptr<Element>> g_made;

Element* make(Element* parent) {
    g_made.push_back(std::make_unique<Element>(parent));
    return g_made.back().get();
}

TEST(ElementRegistry, RegistersCreatesAndRefuses) {
    ElementRegistry registry;
    registry.register_kind(u"text", make);
    registry.register_kind(u"node", make);
    EXPECT_EQ(registry.kinds(), (std::vector<std::u16string>{u"node", u"text"}));

    Element root(nullptr);
    Element* e = registry.create_element(u"text", &root);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->parent, &root);

    try {
        registry.register_kind(u"text", make);
        FAIL() << "registered twice";
    } catch (const dovado::NodeAlreadyRegistered& error) {
        EXPECT_EQ(error.type(), u"text");
    }
    try {
        registry.create_element(u"", &root);  // a node without "type"
        FAIL() << "created an unregistered kind";
    } catch (const dovado::NodeNotRegistered& error) {
        EXPECT_EQ(error.type(), u"");
        EXPECT_NE(std::string(error.what()).find("no element kind"), std::string::npos);
    }
    registry.unregister_kind(u"text");
    registry.unregister_kind(u"text");  // absent: no error
    EXPECT_FALSE(registry.is_registered(u"text"));
    EXPECT_THROW(registry.create_element(u"text", &root), dovado::SkinError);
}

TEST(ElementRegistry, FactoriesMayCreateFurtherElements) {
    ElementRegistry registry;
    registry.register_kind(u"leaf", make);
    registry.register_kind(u"pair", [&registry](Element* parent) {
        Element* self = make(parent);
        registry.create_element(u"leaf", self);
        return self;
    });
    const size_t before = g_made.size();
    registry.create_element(u"pair", nullptr);
    EXPECT_EQ(g_made.size(), before + 2);
    EXPECT_EQ(g_made.back()->parent, g_made[before].get());
}

TEST(ElementRegistry, ScopedRegistration) {
    ElementRegistry registry;
    {
        KindRegistration kind(u"image", make, registry);
        EXPECT_TRUE(registry.is_registered(u"image"));
        EXPECT_THROW(KindRegistration(u"image", make, registry), dovado::NodeAlreadyRegistered);
        EXPECT_TRUE(registry.is_registered(u"image"));
    }
    EXPECT_FALSE(registry.is_registered(u"image"));
}

TEST(SkinErrors, CarryTheirNames) {
    const dovado::NodeNotFound missing(u"Menu", u"vlist");
    EXPECT_EQ(missing.searched_in(), u"Menu");
    EXPECT_EQ(missing.searched_for(), u"vlist");
    const dovado::NodeNotFoundInSkin absent(u"AlbumScreen");
    EXPECT_EQ(absent.name(), u"AlbumScreen");
    EXPECT_NE(std::string(absent.what()).find("AlbumScreen"), std::string::npos);
}

}  // namespace
}  // namespace vistrel
