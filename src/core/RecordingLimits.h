#pragma once

// What makes a recording wrong, from [General] and each show's own section, which overrides it.
struct RecordingLimits
{
    static constexpr int MaxExpectedMinutes = 7 * 24 * 60;
    static constexpr int MaxSilenceLimitSeconds = 24 * 60 * 60;
    static constexpr int LowestThresholdDb = -120;

    // The show's length; 0 takes it from the show's last uploads.
    int expectedMinutes = 0;
    // Shorter than this share of the expected length is cut short.
    int shortPercent = 80;
    // Quieter than this is silence, and silence longer than maxSilenceSeconds is dead air.
    int silenceThresholdDb = -50;
    int maxSilenceSeconds = 120;
    // Each kind of wrong recording is warned of, and not sent when its setting is on.
    bool skipBroken = false;
    bool skipShort = false;
    bool skipSilent = false;
};
