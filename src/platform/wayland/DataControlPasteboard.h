#pragma once
// The clipboard through zwlr_data_control_manager_v1 (wlroots compositors):
// it works without keyboard focus, which Qt's clipboard needs on Wayland,
// and what we offer stays offered as long as we run.
//
// Offers: text as UTF-8 under the usual text types; an image as image/png
// first, then image/bmp, encoded only when a program asks, on a thread of
// its own per request so that a slow reader never blocks the main thread.
// Reads of what we offer ourselves are answered from memory; reads of
// another program's offer wait for its bytes up to a deadline.
//
// Main thread; the connection must outlive it and dispatch in Qt's event
// loop (WaylandConnection::dispatchInEventLoop) so that other programs'
// requests are answered while we run.

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "platform/Pasteboard.h"
#include "platform/wayland/WaylandConnection.h"

struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_offer_v1;

namespace vistrel::wayland {

class DataControlPasteboard : public platform::Pasteboard {
 public:
  explicit DataControlPasteboard(WaylandConnection& connection);
  ~DataControlPasteboard() override;
  DataControlPasteboard(const DataControlPasteboard&) = delete;
  DataControlPasteboard& operator=(const DataControlPasteboard&) = delete;

  // Whether the compositor offers data control for a seat; without it every
  // write does nothing and every read finds nothing.
  bool available() const { return device_ != nullptr; }

  void clear() override;
  void setString(const std::string& text) override;
  std::optional<std::string> string() const override;
  void setImage(const QImage& image) override;
  std::optional<QImage> image() const override;

  // What the compositor's selection offers now, as MIME types.
  std::vector<std::string> offeredTypes() const;

 private:
  using Content = std::variant<std::monostate, std::string, QImage>;
  void own(Content content, const std::vector<const char*>& types);
  void dropSource();
  // The bytes of the selection in `type`; none when it is not offered or does not come in time.
  std::optional<QByteArray> receive(const std::string& type) const;

  static void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void onFinished(void* data, zwlr_data_control_device_v1*);
  static void onPrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
  static void onOffer(void* data, zwlr_data_control_offer_v1* offer, const char* type);
  static void onSend(void* data, zwlr_data_control_source_v1* source, const char* type, std::int32_t fd);
  static void onCancelled(void* data, zwlr_data_control_source_v1* source);

  WaylandConnection& connection_;
  zwlr_data_control_device_v1* device_ = nullptr;
  zwlr_data_control_source_v1* source_ = nullptr;  // ours, while it is the selection
  Content owned_;                                  // what source_ offers
  // Offers introduced by the compositor with their types; the selection is one of them.
  std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> offers_;
  zwlr_data_control_offer_v1* selection_ = nullptr;
};

}  // namespace vistrel::wayland
