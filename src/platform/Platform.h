#pragma once

class Clock;
class Desktop;
class Dialogs;
class Environment;
class EventPump;
class SettingsStore;

// Everything the core asks of the outside world, handed in as one bundle.
struct Platform
{
    Clock &clock;
    Dialogs &dialogs;
    EventPump &events;
    SettingsStore &settings;
    Environment &environment;
    Desktop &desktop;
};
