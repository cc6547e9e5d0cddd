#include "platform/wayland/wayland_data_control.h"

#include <ext-data-control-v1-client-protocol.h>
#include <wayland-client-protocol.h>
#include <wlr-data-control-unstable-v1-client-protocol.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

namespace tllink::platform::wayland {

namespace {

// The two protocols have the same requests and events in the same order; only the names differ.
// One traits struct per protocol maps the names, so that the code below is written once.
#define TLLINK_DATA_CONTROL_TRAITS(Name, prefix, version)                                    \
  struct Name {                                                                              \
    using Manager = prefix##_manager_v1;                                                     \
    using Device = prefix##_device_v1;                                                       \
    using Source = prefix##_source_v1;                                                       \
    using Offer = prefix##_offer_v1;                                                         \
    using DeviceListener = prefix##_device_v1_listener;                                      \
    using SourceListener = prefix##_source_v1_listener;                                      \
    using OfferListener = prefix##_offer_v1_listener;                                        \
    static constexpr const char* kManager = #prefix "_manager_v1";                           \
    static constexpr std::uint32_t kVersion = version;                                       \
    static const wl_interface* ManagerInterface() { return &prefix##_manager_v1_interface; } \
    static void Destroy(Manager* manager) { prefix##_manager_v1_destroy(manager); }          \
    static void Destroy(Device* device) { prefix##_device_v1_destroy(device); }              \
    static void Destroy(Source* source) { prefix##_source_v1_destroy(source); }              \
    static void Destroy(Offer* offer) { prefix##_offer_v1_destroy(offer); }                  \
    static Device* GetDevice(Manager* manager, wl_seat* seat) {                              \
      return prefix##_manager_v1_get_data_device(manager, seat);                             \
    }                                                                                        \
    static Source* CreateSource(Manager* manager) {                                          \
      return prefix##_manager_v1_create_data_source(manager);                                \
    }                                                                                        \
    static void Listen(Device* device, const DeviceListener* listener, void* data) {         \
      prefix##_device_v1_add_listener(device, listener, data);                               \
    }                                                                                        \
    static void Listen(Source* source, const SourceListener* listener, void* data) {         \
      prefix##_source_v1_add_listener(source, listener, data);                               \
    }                                                                                        \
    static void Listen(Offer* offer, const OfferListener* listener, void* data) {            \
      prefix##_offer_v1_add_listener(offer, listener, data);                                 \
    }                                                                                        \
    static void AddType(Source* source, const char* type) {                                  \
      prefix##_source_v1_offer(source, type);                                                \
    }                                                                                        \
    static void SetSelection(Device* device, Source* source) {                               \
      prefix##_device_v1_set_selection(device, source);                                      \
    }                                                                                        \
    static void Receive(Offer* offer, const char* type, int fd) {                            \
      prefix##_offer_v1_receive(offer, type, fd);                                            \
    }                                                                                        \
  };

// Version 1 of the wlroots protocol has no primary selection, which the program leaves alone;
// the ext protocol has it from its first version.
TLLINK_DATA_CONTROL_TRAITS(WlrDataControl, zwlr_data_control, 1)
TLLINK_DATA_CONTROL_TRAITS(ExtDataControl, ext_data_control, 1)
#undef TLLINK_DATA_CONTROL_TRAITS

struct DestroySeat {
  void operator()(wl_seat* seat) const { wl_seat_destroy(seat); }
};
using SeatProxy = std::unique_ptr<wl_seat, DestroySeat>;

struct DestroyRegistry {
  void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};
using RegistryProxy = std::unique_ptr<wl_registry, DestroyRegistry>;

template <typename P>
class DataControlOf final : public DataControl {
  struct DestroyProxy {
    template <typename T>
    void operator()(T* proxy) const {
      P::Destroy(proxy);
    }
  };
  template <typename T>
  using Proxy = std::unique_ptr<T, DestroyProxy>;

  // An offer the compositor introduced, and the types it said it offers.
  struct OfferEntry {
    Proxy<typename P::Offer> proxy;
    std::vector<std::string> types;
  };
  struct SourceEntry {
    DataControlOf* owner;
    SourceId id;
    Proxy<typename P::Source> proxy;
  };

 public:
  DataControlOf(typename P::Manager* manager, SeatProxy seat, Events& events)
      : events_(events), manager_(manager), seat_(std::move(seat)) {
    device_.reset(P::GetDevice(manager_.get(), seat_.get()));
    P::Listen(device_.get(), &kDeviceListener, this);
  }

  bool Receive(const std::string& mime_type, int fd) override {
    if (selection_ == nullptr) return false;
    P::Receive(selection_->proxy.get(), mime_type.c_str(), fd);
    return true;
  }

  SourceId SetSelection(std::span<const std::string> mime_types) override {
    const SourceId id = ++last_source_;
    auto entry = std::make_unique<SourceEntry>(
        SourceEntry{this, id, Proxy<typename P::Source>(P::CreateSource(manager_.get()))});
    P::Listen(entry->proxy.get(), &kSourceListener, entry.get());
    for (const std::string& type : mime_types) P::AddType(entry->proxy.get(), type.c_str());
    P::SetSelection(device_.get(), entry->proxy.get());
    sources_.emplace(id, std::move(entry));
    return id;
  }

 private:
  static void OnDataOffer(void* data, typename P::Device*, typename P::Offer* offer) {
    auto* self = static_cast<DataControlOf*>(data);
    auto entry = std::make_unique<OfferEntry>(OfferEntry{Proxy<typename P::Offer>(offer), {}});
    P::Listen(offer, &kOfferListener, entry.get());
    self->introduced_.push_back(std::move(entry));
  }

  static void OnOfferType(void* data, typename P::Offer*, const char* mime_type) {
    static_cast<OfferEntry*>(data)->types.emplace_back(mime_type);
  }

  // The introduced offer `offer`, taken out of the introduced ones; nothing for a null offer.
  std::unique_ptr<OfferEntry> TakeIntroduced(typename P::Offer* offer) {
    const auto found =
        std::find_if(introduced_.begin(), introduced_.end(),
                     [offer](const auto& entry) { return entry->proxy.get() == offer; });
    if (found == introduced_.end()) return nullptr;
    std::unique_ptr<OfferEntry> entry = std::move(*found);
    introduced_.erase(found);
    return entry;
  }

  static void OnSelection(void* data, typename P::Device*, typename P::Offer* offer) {
    auto* self = static_cast<DataControlOf*>(data);
    // The previous selection's offer is of no use any more.
    self->selection_ = self->TakeIntroduced(offer);
    if (self->selection_ == nullptr) {
      self->events_.Selection(std::nullopt);
    } else {
      self->events_.Selection(self->selection_->types);
    }
  }

  static void OnPrimarySelection(void* data, typename P::Device*, typename P::Offer* offer) {
    static_cast<DataControlOf*>(data)->TakeIntroduced(offer);  // and destroyed: not watched
  }

  static void OnFinished(void* data, typename P::Device*) {
    auto* self = static_cast<DataControlOf*>(data);
    self->selection_.reset();
    self->device_.reset();
    self->events_.Finished();
  }

  static void OnSend(void* data, typename P::Source*, const char* mime_type, std::int32_t fd) {
    const auto* entry = static_cast<SourceEntry*>(data);
    entry->owner->events_.Send(entry->id, mime_type, UniqueFd(fd));
  }

  static void OnCancelled(void* data, typename P::Source*) {
    const auto* entry = static_cast<SourceEntry*>(data);
    DataControlOf* self = entry->owner;
    const SourceId id = entry->id;
    self->events_.Cancelled(id);
    self->sources_.erase(id);  // destroys the source, as the protocol asks
  }

  static constexpr typename P::DeviceListener kDeviceListener{&OnDataOffer, &OnSelection,
                                                              &OnFinished, &OnPrimarySelection};
  static constexpr typename P::SourceListener kSourceListener{&OnSend, &OnCancelled};
  static constexpr typename P::OfferListener kOfferListener{&OnOfferType};

  Events& events_;
  Proxy<typename P::Manager> manager_;
  SeatProxy seat_;
  Proxy<typename P::Device> device_;
  std::vector<std::unique_ptr<OfferEntry>> introduced_;
  std::unique_ptr<OfferEntry> selection_;
  std::map<SourceId, std::unique_ptr<SourceEntry>> sources_;
  SourceId last_source_ = 0;
};

// What the registry lists, as far as the program cares.
struct Globals {
  struct Global {
    std::uint32_t name = 0;
    std::uint32_t version = 0;
  };
  std::optional<Global> seat;
  std::optional<Global> ext_manager;
  std::optional<Global> wlr_manager;
};

void OnGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  auto& globals = *static_cast<Globals*>(data);
  const Globals::Global global{name, version};
  if (std::strcmp(interface, wl_seat_interface.name) == 0) {
    if (!globals.seat) globals.seat = global;  // the first seat: a desktop has one
  } else if (std::strcmp(interface, ExtDataControl::kManager) == 0) {
    globals.ext_manager = global;
  } else if (std::strcmp(interface, WlrDataControl::kManager) == 0) {
    globals.wlr_manager = global;
  }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener kRegistryListener{&OnGlobal, &OnGlobalRemove};

template <typename P>
std::unique_ptr<DataControl> Bind(wl_display* display, wl_registry* registry,
                                  const Globals::Global& manager, SeatProxy seat,
                                  DataControl::Events& events) {
  auto* bound = static_cast<typename P::Manager*>(wl_registry_bind(
      registry, manager.name, P::ManagerInterface(), std::min(manager.version, P::kVersion)));
  auto control = std::make_unique<DataControlOf<P>>(bound, std::move(seat), events);
  // The device reports the current selection at once.
  if (wl_display_roundtrip(display) < 0) return nullptr;
  return control;
}

}  // namespace

std::unique_ptr<DataControl> BindDataControl(wl_display* display, DataControl::Events& events) {
  const RegistryProxy registry(wl_display_get_registry(display));
  Globals globals;
  wl_registry_add_listener(registry.get(), &kRegistryListener, &globals);
  if (wl_display_roundtrip(display) < 0 || !globals.seat) return nullptr;
  const auto seat_proxy = [&] {
    return SeatProxy(static_cast<wl_seat*>(
        wl_registry_bind(registry.get(), globals.seat->name, &wl_seat_interface, 1)));
  };
  // The standard protocol where the compositor offers both: newer compositors offer only it.
  if (globals.ext_manager) {
    return Bind<ExtDataControl>(display, registry.get(), *globals.ext_manager, seat_proxy(),
                                events);
  }
  if (globals.wlr_manager) {
    return Bind<WlrDataControl>(display, registry.get(), *globals.wlr_manager, seat_proxy(),
                                events);
  }
  return nullptr;
}

}  // namespace tllink::platform::wayland
