#include "ui/label_edit.h"

#include "shell/application.h"
#include "skin/skin_errors.h"

namespace vistrel {

void LabelEdit::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_edit = dynamic_cast<EditField*>(find_child(u"#edit"));
    if (!m_edit) throw dovado::NodeNotFound(id(), u"#edit");
    m_label = find_child(u"#text");
    if (!m_label) throw dovado::NodeNotFound(id(), u"#text");
    m_edit->set_listener(this);
    m_edit->set_observer(this);
    update_label();
}

void LabelEdit::update_label() {
    if (m_label && m_edit) m_label->set_visible(m_edit->text().empty());
}

void LabelEdit::edit_changed(EditField& field) {
    update_label();
    if (m_listener) m_listener->edit_changed(field);
}

void LabelEdit::on_extent_changed(Element& element, Axis, int) {
    // A native control over the field follows it.
    if (Application* app = Application::instance(); app && m_edit && m_edit->has_focus())
        app->move_text_input(m_edit);
}

}  // namespace vistrel
