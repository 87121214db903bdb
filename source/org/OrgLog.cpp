#include "OrgLog.h"

#include <mutex>

namespace Org {

namespace {

// The one process-wide setting of the library; songs share nothing else.
struct LogTarget
{
    std::mutex lock;
    LogFunction function = nullptr;
    void* user = nullptr;
};

LogTarget& TheLogTarget()
{
    static LogTarget* l_Target = new LogTarget;  // never destroyed: messages may come during exit
    return *l_Target;
}

}  // namespace

void Log(const char* p_Text, std::FILE* p_Stream)
{
    LogTarget& l_Target = TheLogTarget();
    LogFunction l_Function;
    void* l_User;
    {
        std::lock_guard<std::mutex> l_Lock(l_Target.lock);
        l_Function = l_Target.function;
        l_User = l_Target.user;
    }
    if (l_Function != nullptr)
        l_Function(p_Text, l_User);
    else
        std::fputs(p_Text, p_Stream);
}

void SetLogFunction(LogFunction p_Function, void* p_User)
{
    LogTarget& l_Target = TheLogTarget();
    std::lock_guard<std::mutex> l_Lock(l_Target.lock);
    l_Target.function = p_Function;
    l_Target.user = p_User;
}

}  // namespace Org
