#include "app/clipboard.h"

#include <cstring>

namespace {

// Movable global memory until the clipboard takes it over.
class GlobalBlock {
  public:
    explicit GlobalBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (block_ != nullptr) {
            GlobalFree(block_);
        }
    }
    HGLOBAL get() const { return block_; }
    void release() { block_ = nullptr; }

  private:
    HGLOBAL block_;
};

class OpenedClipboard {
  public:
    explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != 0) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (open_) {
            CloseClipboard();
        }
    }
    bool isOpen() const { return open_; }

  private:
    bool open_;
};

}  // namespace

bool copyTextToClipboard(HWND window, std::string_view text) {
    GlobalBlock block(text.size() + 1);
    if (block.get() == nullptr) {
        return false;
    }
    void* target = GlobalLock(block.get());
    if (target == nullptr) {
        return false;
    }
    // The block is zero-filled, so the terminating NUL is already there.
    std::memcpy(target, text.data(), text.size());
    GlobalUnlock(block.get());
    OpenedClipboard clipboard(window);
    if (!clipboard.isOpen()) {
        return false;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, block.get()) == nullptr) {
        return false;
    }
    block.release();
    return true;
}
