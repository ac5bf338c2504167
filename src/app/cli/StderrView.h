#pragma once

#include "platform/MainView.h"

// What the main window would show, as one line each on standard error.
class StderrView : public MainView
{
public:
    void setStatusText(const QString &text) override;
    void setTitleText(const QString &text) override;
    void setCommandText(const QString &text) override;
    void setCaption(const QString &) override {}
    bool uploadsDisabled() const override { return false; }
};
