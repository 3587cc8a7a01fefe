#include "app/list_contents.h"

#include "app/qt_text.h"

namespace verdalia::app {

ListContents::ListContents(ResultList rows) : m_rows(std::move(rows)), m_index(IndexList(m_rows)) {
  m_fields.reserve(m_index.fields.size());
  for (const Cp1252View field : m_index.fields) {
    m_fields.push_back(FromCp1252(field));
  }
  m_messages.reserve(m_index.messages.size());
  m_warning.reserve(m_index.messages.size());
  for (const Cp1252View message : m_index.messages) {
    m_messages.push_back(FromCp1252(message));
    m_warning.push_back(ResultRow{0, {}, message.bytes()}.severity() == Severity::Warning ? 1 : 0);
  }
}

} // namespace verdalia::app
