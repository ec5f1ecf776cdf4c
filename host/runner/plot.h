// A picture of every output's samples over time, written as a PNG file.
#pragma once
#include <string>
#include <vector>

struct PlotSeries {
    std::string label;              // UTF-8
    std::vector<double> times;      // seconds
    std::vector<double> values;
};

// Draws the series with GDI+ into an off-screen bitmap, grid lines at round values, and stores it
// as PNG; false when the picture cannot be drawn or the file cannot be written.
bool WritePlotPng(const std::string& path, const std::string& title, const std::vector<PlotSeries>& series);
