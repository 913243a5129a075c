// The user-interface lock's one instance per library.
#include "platform/ui_lock.h"

namespace uilock {

std::recursive_timed_mutex& mutex() {
    static std::recursive_timed_mutex instance;
    return instance;
}

}  // namespace uilock
