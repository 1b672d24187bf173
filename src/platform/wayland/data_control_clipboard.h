#pragma once
// The compositor's clipboard through wlroots' data-control protocol (sway, KWin): read and set
// whatever window has the focus, so a native window pastes the entry although the palette is an
// X11 window, and the user's clipboard comes back whole afterwards.
#include "platform/window_clipboard.h"
#include <map>
#include <memory>

struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_offer_v1;

namespace platform::wayland {

class Connection;

class DataControlClipboard : public WindowClipboard {
public:
    // nullptr when the compositor does not offer data control.
    static std::unique_ptr<DataControlClipboard> open(Connection& connection);
    ~DataControlClipboard() override;

    std::optional<ClipboardSnapshot> read(int boundMs) override;
    bool offer(const ClipboardSnapshot& formats, std::function<void()> onFetched) override;
    bool offerText(const std::string& utf8, std::function<void()> onFetched) override;
    bool stillOffered() override;

private:
    DataControlClipboard(Connection& connection, zwlr_data_control_manager_v1* manager,
                         zwlr_data_control_device_v1* device);
    void offerAdded(zwlr_data_control_offer_v1* offer);
    void selectionChanged(zwlr_data_control_offer_v1* offer);
    void sendRequested(zwlr_data_control_source_v1* source, const char* mimeType, int fd);
    void sourceCancelled(zwlr_data_control_source_v1* source);

    Connection& connection_;
    zwlr_data_control_manager_v1* manager_;
    zwlr_data_control_device_v1* device_;
    // Offers announced and their formats, until they become the selection or are replaced.
    std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> offers_;
    zwlr_data_control_offer_v1* selection_ = nullptr;
    // The program's own offer while it is on the clipboard.
    zwlr_data_control_source_v1* source_ = nullptr;
    std::shared_ptr<const ClipboardSnapshot> offered_;
    std::function<void()> onFetched_;
};

} // namespace platform::wayland
