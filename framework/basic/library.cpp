#include <vorna/basic/library.h>

namespace vorna
{
    bool Library::is_initialized() const
    {
        std::lock_guard< std::mutex > lock{ mutex_ };
        return initialized_;
    }

    void Library::call_initialize( const char* /*name*/ )
    {
        // Holding the lock while initialising makes concurrent callers wait
        // and publishes what do_initialize registered.
        std::lock_guard< std::mutex > lock{ mutex_ };
        if( initialized_ )
        {
            return;
        }
        do_initialize();
        initialized_ = true;
    }
} // namespace vorna
