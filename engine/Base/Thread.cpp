// Windows side of the thread base: the CreateThread procedure and the handle.
#include "Base/Thread.h"

#include <windows.h>

namespace Brivet::Base
{
unsigned long __stdcall Thread::EntryPoint(void* argument)
{
    Thread* thread = static_cast<Thread*>(argument);
    thread->running = 1;
    thread->Run();
    thread->running = 0;
    return 0;
}

void Thread::CloseHandle()
{
    if (handle)
    {
        ::CloseHandle(static_cast<HANDLE>(handle));
        handle = nullptr;
    }
}
} // namespace Brivet::Base
