#pragma once

#include "platform/controls.h"
#include "platform/textbox.h"

#include <QString>
#include <array>

namespace zimo {

// The undo store of the markup commands: snapshots of the whole text taken just before each
// markup command, of which the newest two can be restored by "I'll be back".
class UndoStore
{
public:
    UndoStore(TextBox &text, MenuItem &mnuEditBack) : m_text(text), m_mnuEditBack(mnuEditBack) {}

    // Start-up: nothing to restore, "I'll be back" disabled.
    void reset();
    // Takes a snapshot; the first step of every markup command.
    void keep_text();
    // Restores the newest snapshot; the whole of "I'll be back".
    void back_text();

    qint16 keep_count() const { return m_keep_count; }
    const std::array<QString, 3> &keep_slots() const { return m_keep_slots; }

private:
    TextBox &m_text;
    MenuItem &m_mnuEditBack;
    std::array<QString, 3> m_keep_slots;
    qint16 m_keep_count = 0;
};

} // namespace zimo
