#pragma once

#include "platform/appinfo.h"

#include <functional>

namespace zimo {

class QtAppInfo : public AppInfo
{
public:
    explicit QtAppInfo(std::function<void()> endProgram) : m_end(std::move(endProgram)) {}
    QString path() const override;
    void end() override { m_end(); }
    void setBusy(bool busy) override;

private:
    std::function<void()> m_end;
};

} // namespace zimo
