// The B+ trees of a help file: its internal directory, |CONTEXT and
// |KWBTREE. Pages of a fixed size; leaves chained left to right; index pages
// above them up to one root page.
#ifndef LUMIRUN_TOOLS_HELPC_BTREE_H
#define LUMIRUN_TOOLS_HELPC_BTREE_H

#include <cstddef>
#include <string>
#include <vector>

// One entry, already in the tree's order: the bytes it has in a leaf page,
// and its key as index pages hold it (the leaf bytes' leading key part).
struct btree_entry {
    std::string leaf;
    std::string key;
};

struct btree_leaf {
    std::size_t first_entry;  // index of the page's first entry
    unsigned page;
};

struct btree_layout {
    unsigned flags;        // 0x0002; 0x0402 for the directory
    unsigned page_size;    // 0x0400 for the directory, 0x0800 otherwise
    const char* structure; // the entry layout, e.g. "z4", "L4"
};

// The tree's header and pages (without the internal file's own header).
// Every entry must fit in a page with room to spare: leaf entries within
// page_size - 8 bytes, index keys within page_size - 8. Writes the leaf pages
// into leaves when given (the keyword map lists them).
std::string build_btree(const std::vector<btree_entry>& entries, const btree_layout& layout,
                        std::vector<btree_leaf>* leaves = nullptr);

#endif
