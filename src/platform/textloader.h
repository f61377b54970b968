#pragma once

#include <QString>
#include <functional>

namespace zimo {

// Puts a whole text into the text box over time, in steps run from the event loop, so that the
// window stays responsive while a big page goes in. While it loads, the text box shows what has
// arrived, read-only, and keeps what it held before aside.
class TextLoader
{
public:
    virtual ~TextLoader() = default;

    // Starts loading `text` (the model text, as TextBox::setText takes it). `finished` runs once:
    // with true when the text box holds exactly `text` with the caret at 0 and nothing selected,
    // as after setText; with false after cancel(), when the text box is back exactly as it was
    // before start (text, caret, selection, its own undo history).
    virtual void start(QString text, std::function<void(bool completed)> finished) = 0;
    // Before start(), optionally: shows `head`, the beginning of the text, while the whole is still
    // being made, the earlier text kept aside as for start(). start() then goes on after it when
    // its text begins with it (and starts over otherwise). cancel() applies from here on.
    virtual void showHead(QString head) { Q_UNUSED(head); }
    // Stops a load and puts the earlier text back; nothing when none is running.
    virtual void cancel() = 0;
    virtual bool isLoading() const = 0;
};

} // namespace zimo
