#include "Complaint.h"

#include <cstdio>

#include "PrintableText.h"

namespace {

const char* g_ProgramName = "tunewright";
void (*g_BeforeComplaint)() = nullptr;

}  // namespace

void SetProgramName(const char* p_Name) { g_ProgramName = p_Name; }

void SetBeforeComplaint(void (*p_Hook)()) { g_BeforeComplaint = p_Hook; }

void Complain(const std::string& p_Message)
{
    if (g_BeforeComplaint != nullptr)
        g_BeforeComplaint();
    std::fprintf(stderr, "%s: %s\n", g_ProgramName, PrintableText(p_Message).c_str());
}
