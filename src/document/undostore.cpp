#include "document/undostore.h"

namespace zimo {

void UndoStore::reset()
{
    m_keep_count = 0;
    m_mnuEditBack.setEnabled(false);
}

void UndoStore::keep_text()
{
    m_mnuEditBack.setEnabled(true);
    // QString shares its data: a snapshot costs no copy of the text until one side changes.
    m_keep_slots[m_keep_count] = m_text.text();
    ++m_keep_count;
    if (m_keep_count > 2) {
        m_keep_slots[0] = m_keep_slots[1];
        m_keep_slots[1] = m_keep_slots[2];
        m_keep_count = 2;
    }
}

void UndoStore::back_text()
{
    if (m_keep_count <= 0)
        return; // only reachable when the disabled menu item is bypassed
    --m_keep_count;
    m_text.setText(m_keep_slots[m_keep_count]);
    if (m_keep_count == 0)
        m_mnuEditBack.setEnabled(false);
}

} // namespace zimo
