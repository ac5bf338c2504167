#pragma once

#include <QString>

#include <array>

// The weekly shows as six parallel columns; show n is index n, 1 to 100. Index 0 stays empty.
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

    static bool isShowNumber(int number) { return number >= 0 && number <= MaxShows; }
};
