#pragma once
// The program's visual style, "Aqua Light Slate", carried in its resources.
class QApplication;

// Applies the style; a style that cannot be applied is reported in a dialog and the
// application keeps Qt's standard look. False in that case.
bool ApplyVisualStyle(QApplication& app);

// Registers the program's resources (style sheet, icon); safe to call more than once.
void InitCorvantaResources();
