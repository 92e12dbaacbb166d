#include "skin/skin_errors.h"

#include "platform/text.h"

namespace dovado {

using vistrel::to_utf8;

NodeNotFoundInSkin::NodeNotFoundInSkin(std::u16string name)
    : SkinError("skin has no node \"" + to_utf8(name) + "\""), m_name(std::move(name)) {}

NodeNotFound::NodeNotFound(std::u16string searched_in, std::u16string searched_for)
    : SkinError("element \"" + to_utf8(searched_in) + "\" has no element \"" +
                to_utf8(searched_for) + "\""),
      m_searched_in(std::move(searched_in)),
      m_searched_for(std::move(searched_for)) {}

NodeNotRegistered::NodeNotRegistered(std::u16string type)
    : SkinError("no element kind \"" + to_utf8(type) + "\" is registered"),
      m_type(std::move(type)) {}

NodeAlreadyRegistered::NodeAlreadyRegistered(std::u16string type)
    : SkinError("element kind \"" + to_utf8(type) + "\" is registered already"),
      m_type(std::move(type)) {}

}  // namespace dovado
