#pragma once
// "label_edit": an edit field ("#edit") with a label ("#text") that shows only while the
// field is empty, as a placeholder.

#include "ui/edit_field.h"
#include "ui/element.h"

namespace vistrel {

class LabelEdit : public Element, private EditListener, private ExtentObserver {
public:
    explicit LabelEdit(Element* parent) : Element(parent) {}
    // Throws dovado::NodeNotFound when "#edit" or "#text" is missing.
    void load(Properties& properties, NodeHandle node) override;

    EditField* edit() const { return m_edit; }
    Element* label() const { return m_label; }
    // Hears every change of the field after the placeholder has been updated.
    void set_listener(EditListener* listener) { m_listener = listener; }

private:
    void edit_changed(EditField& field) override;
    void on_extent_changed(Element& element, Axis axis, int length) override;
    void update_label();

    EditField* m_edit = nullptr;
    Element* m_label = nullptr;
    EditListener* m_listener = nullptr;
};

}  // namespace vistrel
