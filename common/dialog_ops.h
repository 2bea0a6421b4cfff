// What the dialog's entries need of the dialog, in neutral types: the Win32
// dialog in the program, a recording fake in the tests.
#ifndef DORVENAL_DIALOG_OPS_H
#define DORVENAL_DIALOG_OPS_H

#include <cstdint>
#include <string>

#include "job_report.h"

// Opaque: a window handle in the program, a fake object in the tests.
struct Dialog;

std::string GetControlText(Dialog* dialog, int controlId);
bool IsControlChecked(Dialog* dialog, int controlId);
void FocusControl(Dialog* dialog, int controlId);
void EnableControl(Dialog* dialog, int controlId, bool enable);

void ShowInfoBox(Dialog* dialog, const std::string& text);
BoxAnswer AskYesNo(Dialog* dialog, const std::string& text);

// The progress bar IDC_PROGRESS.
void SetProgressRange(Dialog* dialog, uint32_t minimum, uint32_t maximum);
void SetProgressStep(Dialog* dialog, uint32_t step);
void SetProgressPos(Dialog* dialog, uint32_t position);

#endif
