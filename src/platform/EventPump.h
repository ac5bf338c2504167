#pragma once

// Lets pending window events run from inside a handler. Uploads and flushes call this while they
// wait, which is how a timer tick or a menu command can run nested inside them.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void processPendingEvents() = 0;
    // Waits `milliseconds` while events keep running throughout.
    virtual void waitProcessingEvents(int milliseconds) = 0;
};

class QtEventPump : public EventPump
{
public:
    void processPendingEvents() override;
    void waitProcessingEvents(int milliseconds) override;
};
