#include "window_registry.hpp"

#include <unordered_map>

#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kIdProperty = "telvaneWindowId";

struct Registry {
    std::uint64_t lastId = 0;
    std::unordered_map<std::uint64_t, QPointer<QWidget>> widgets;
};

// Never destroyed: widgets may still go after static destruction has begun.
Registry& TheRegistry()
{
    static auto* registry = new Registry;
    return *registry;
}

}  // namespace

WindowHandle HandleOf(QWidget* widget)
{
    if (widget == nullptr) return {};
    Registry& registry = TheRegistry();
    const QVariant known = widget->property(kIdProperty);
    if (known.isValid()) return WindowHandle(known.toULongLong());
    const std::uint64_t id = ++registry.lastId;
    widget->setProperty(kIdProperty, QVariant::fromValue<qulonglong>(id));
    registry.widgets.emplace(id, widget);
    QObject::connect(widget, &QObject::destroyed, [id] { TheRegistry().widgets.erase(id); });
    return WindowHandle(id);
}

QWidget* WidgetOf(WindowHandle handle)
{
    if (!handle) return nullptr;
    const Registry& registry = TheRegistry();
    const auto found = registry.widgets.find(handle.Id());
    return found == registry.widgets.end() ? nullptr : found->second.data();
}
