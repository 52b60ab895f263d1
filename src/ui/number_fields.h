#pragma once
// Number fields: a row of 10-unit digit cells editing a value in place, with an arrow above and
// below each cell. A click puts the keyboard caret on a cell; arrow keys move it or step the
// cell, typed digits replace it, '+' and '-' set the sign; clicking an arrow steps its cell.
// Every frame the value is kept in the caller's range, in what the cells can show, and rounded
// to the decimals. Immediate-mode: called every frame with the caller's variable.
//
//   BTN_flt_range(320, 415, &fps, 2, 0, 10, 99, "frame rate|(fps)", "");
//   BTN_int(100, 200, &count, 3, 0, "count:");
//
// Positions are the left end of the cells' baseline, interface units of the open panel, y up.
// Digit counts run from 1 to 10; decimals are counted among the digits.
#include <string>

#include "ui/tt_font.h"

// The field every number member goes through; 1 when a key or a click changed the value.
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max, std::string label,
                  const char* unused = "");
int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, std::string label);
void BTN_weight(float x, float y, float* value, int digits, int decimals, std::string label);
// On a grid of 75-unit columns and 50-unit rows, the cells ending at the column's right end.
int BTN_fltij(float column, float row, float* value, int digits, int decimals, int allow_negative,
              std::string label);
int BTN_flt_rangeij(float column, float row, float* value, int digits, int decimals, float min, float max,
                    std::string label);
// Whole numbers through a float: the value has single precision.
int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label);
int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label);
// Doubles through a float: BTN_dob narrows the value every frame, BTN_dob_range only when the
// user changes it.
int BTN_dob(float x, float y, double* value, int digits, int decimals, int allow_negative, std::string label);
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label);
// A coordinate of a point on the aircraft; axis 'x', 'y' or 'z' adds the axis's help, '-' keeps
// the label as given.
int BTN_xyz(float x, float y, float* value, float min, float max, std::string label, char axis, int digits,
            int decimals, const char* unused);
int BTN_xyz(float x, float y, float* value, int allow_negative, std::string label, char axis, int digits,
            int decimals, const char* unused);

// The first `cells` characters of text (an array of at least cells + 1 bytes) over blank, 0-9,
// A-Z and '-'; letters are stored upper-cased.
void BTN_chars(float x, float y, char* text, int cells, std::string label);

// A number shown in a field frame, without input. Face 4 has 10-unit cells from the left, other
// faces are right-justified.
void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label,
                        charset_t face);

// Longitude and latitude in degrees as whole degrees and minutes, in four fields stacked below
// (x, *y); *y ends 100 units lower. 1 when any field changed.
int enter_lat_lon(float* x, float* y, float* longitude, float* latitude);

// The largest magnitude `digits` cells with `decimals` of them after the point can show.
float BTN_digits_limit(int digits, int decimals);

// Test seam: the carets and key queues back to their start.
void BTN_number_fields_reset_for_test();
