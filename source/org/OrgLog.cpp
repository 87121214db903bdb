#include "OrgLog.h"

#include <mutex>

namespace Org {

namespace {

// The process-wide function, the one setting songs share.
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

// The innermost scope of this thread; a plain pointer, so that the thread keeps nothing to destroy.
thread_local const LogScope* t_Scope = nullptr;

}  // namespace

LogScope::LogScope(LogFunction p_Function, void* p_User) : function(p_Function), user(p_User), outer(t_Scope)
{
    t_Scope = this;
}

LogScope::~LogScope() { t_Scope = outer; }

void Log(const char* p_Text, std::FILE* p_Stream)
{
    const LogScope* l_Scope = t_Scope;
    if (l_Scope != nullptr && l_Scope->function != nullptr) {
        l_Scope->function(p_Text, l_Scope->user);
        return;
    }
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
    else if (l_Scope == nullptr)
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
