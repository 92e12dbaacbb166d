#include "ui/element_kinds.h"

#include <array>
#include <string>

#include "ui/basic_kinds.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/edit_field.h"
#include "ui/image_element.h"
#include "ui/label_edit.h"
#include "ui/old_text.h"
#include "ui/progress.h"
#include "ui/table.h"
#include "ui/text_element.h"
#include "ui/vlist.h"

namespace vistrel {

namespace {

// The parent owns what a factory makes (a null parent leaves it to the caller).
template <typename Kind>
Element* make(Element* parent) {
    return new Kind(parent);
}

struct KindEntry {
    const char16_t* name;
    Element* (*factory)(Element*);
};

const std::array<KindEntry, 14> kKinds = {{
    {u"node", make<Element>},
    {u"text", make<TextElement>},
    {u"color", make<ColorElement>},
    {u"image", make<ImageElement>},
    {u"edit", make<EditField>},
    {u"htable", [](Element* p) -> Element* { return new TableElement(p, Axis::X); }},
    {u"vtable", [](Element* p) -> Element* { return new TableElement(p, Axis::Y); }},
    {u"button", make<Button>},
    {u"vlist", make<VList>},
    {u"checkbox", make<Checkbox>},
    {u"progress", make<ProgressBar>},
    {u"oldtext", make<OldTextElement>},
    {u"label_edit", make<LabelEdit>},
    {u"clip", make<ClipElement>},
}};

}  // namespace

void register_element_kinds(ElementRegistry& registry) {
    for (const KindEntry& kind : kKinds)
        registry.register_kind(kind.name, kind.factory);
}

void unregister_element_kinds(ElementRegistry& registry) {
    for (auto it = kKinds.rbegin(); it != kKinds.rend(); ++it)
        registry.unregister_kind(it->name);
}

ElementKindsScope::ElementKindsScope(ElementRegistry& registry) : m_registry(registry) {
    register_element_kinds(m_registry);
}

ElementKindsScope::~ElementKindsScope() {
    unregister_element_kinds(m_registry);
}

}  // namespace vistrel
