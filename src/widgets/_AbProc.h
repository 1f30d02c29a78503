// Shared enumerations and stateless painting routines of the widgets.
#pragma once

#include <string>

#include "graphics.h"

enum class TGradientStyle {
  gsHorizontal1,
  gsHorizontal2,
  gsHorizontal3,
  gsVertical1,
  gsVertical2,
  gsVertical3,
  gsElliptic1,
  gsElliptic2,
  gsElliptic3,
  gsRectangle,
  gsDiamond1,
  gsDiamond2,
  gsTopLeft,
  gsTopRight,
};
using enum TGradientStyle;

enum class TLEDPos { lpLeft, lpRight, lpTop, lpBottom };
using enum TLEDPos;

enum class TLEDShape { sRound, sArrowLeft, sArrowRight, sArrowUp, sArrowDown, sRectangle };
using enum TLEDShape;

// Which point of a text line (X, Y) names: 0 top-left, 1 top centre,
// 2 top-right, 3 left middle, 4 centre, 5 right middle, 6 bottom-left,
// 7 bottom centre, 8 bottom-right.
using TextAnchor = int;

// Index/Steps of the way from `from` to `to`, halves rounded to even.
TColor BlendColor(TColor from, TColor to, int steps, int index);
void DrawGradient(TCanvas& canvas, const TRect& rect, TColor colorFrom, TColor colorTo, TGradientStyle style);
// "|" separates lines; the block as a whole sits at the anchor.
void DrawText3D(TCanvas& canvas, int x, int y, bool is3D, TextAnchor anchor, const std::string& text,
                TColor highlightColor, TColor shadowColor, TColor textColor, int lineSpacing);
void DrawAlignedText(TCanvas& canvas, int x, int y, TextAnchor anchor, const std::string& text,
                     int lineSpacing);
void TextOutAligned(TCanvas& canvas, int x, int y, TextAnchor anchor, const std::string& line);
// cx: width of the widest line; cy: text height of the whole string.
TSize MeasureTextBlock(TCanvas& canvas, const std::string& text);
int CountChar(const std::string& text, char ch);
void DrawLedShape(TCanvas& canvas, const TRect& rect, TLEDShape shape, TColor fillColor, TColor outlineColor);
