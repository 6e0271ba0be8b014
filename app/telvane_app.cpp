#include "telvane_app.hpp"

#include "telvane_menu.hpp"
#include "window_registry.hpp"

TelvaneApp::TelvaneApp()
    : window_(std::make_unique<QtMainWindow>(messages_, kTelvaneMenu)),
      audio_(soundInput_, samplesPerBit_, receiver_),
      port_(serialPorts_),
      scheduler_(samplesPerBit_, port_, *window_, player_),
      frames_(state_, *window_, scheduler_),
      captureMenu_(*window_),
      capture_(capturePlatform_, captureMenu_, *window_, *window_, state_, frames_),
      shell_({*window_, *window_, state_, samplesPerBit_, capture_, scheduler_, audio_, receiver_})
{
}

TelvaneApp::~TelvaneApp()
{
    // A transmit thread waiting on a failure box is let go; the scheduler's
    // own ending then cuts its sound short and joins it.
    messages_.Shutdown();
    // After "E&xit" the capture callbacks are still in place; no frame may
    // reach the subsystems while they go.
    if (capturePlatform_.IsWindow(capture_.captureWindow)) capture_.CaptureDestroy();
    state_.mainWindow = nullptr;
}

void TelvaneApp::Start()
{
    window_->Create(shell_);
    state_.mainWindow = HandleOf(window_.get());
    window_->show();
    graph_ = new GraphWindow(window_->Client(), view_);
    graph_->show();
}
