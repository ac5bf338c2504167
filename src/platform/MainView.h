#pragma once

#include <QString>

// What the core shows the operator. The main window implements it; headless runs and tests
// implement it without widgets.
class MainView
{
public:
    virtual ~MainView() = default;
    virtual void setStatusText(const QString &text) = 0;  // Label1
    virtual void setTitleText(const QString &text) = 0;   // Label2
    virtual void setCommandText(const QString &text) = 0; // Text2
    virtual void setCaption(const QString &text) = 0;
    virtual bool uploadsDisabled() const = 0;             // Check1
};

class NullView : public MainView
{
public:
    void setStatusText(const QString &) override {}
    void setTitleText(const QString &) override {}
    void setCommandText(const QString &) override {}
    void setCaption(const QString &) override {}
    bool uploadsDisabled() const override { return false; }
};
