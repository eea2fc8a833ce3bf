// Storage for bar objects. A long song holds tens of thousands of bars of about 1.3 KB each, and
// opening or undoing rebuilds all of them: taken one by one from malloc, most of that time goes to
// page faults. Bars are therefore carved out of large blocks that ask the kernel for huge pages,
// and freed bars are kept for the next document.
#pragma once

#include <cstddef>

void* AllocateBarStorage(std::size_t size);
void ReleaseBarStorage(void* storage, std::size_t size) noexcept;
