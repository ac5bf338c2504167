#pragma once

#include <QString>

#include <array>

// The weekly shows as parallel columns; show n is index n, 1 to 100. Index 0 stays empty.
struct ShowTableRecord
{
    static constexpr int MaxShows = 100;
    using Column = std::array<QString, MaxShows + 1>;

    Column Filename;
    Column Title;
    Column Description;
    Column UploadDay;
    Column UploadTime;
    Column Picture;
    Column PingURL; // empty: the one of [General]
    // The show's own rate limit, which takes the place of the general one; empty for none.
    Column MaxUploadRate;

    static bool isShowNumber(int number) { return number >= 0 && number <= MaxShows; }
};
