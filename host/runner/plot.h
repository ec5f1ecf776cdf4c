// A picture of every output's samples over time, written as a PNG file.
#pragma once
#include <string>
#include <vector>

struct PlotSeries {
    std::string label;              // UTF-8
    std::vector<double> times;      // seconds
    std::vector<double> values;
};

// Draws the series with GDI into an off-screen bitmap and stores it; false when the file cannot be written.
bool WritePlotPng(const std::string& path, const std::string& title, const std::vector<PlotSeries>& series);

// Encodes 32-bit BGRX pixels (top row first) as an RGB PNG.
std::vector<unsigned char> EncodePng(const unsigned char* bgrx, int width, int height);
