// The scanning service as the launcher meets it: registered as TolmeraSvc, it records every
// control code it receives and accepts the launch request, or (with --refuse-launch) never
// finishes starting, so that every control sent to it is refused.
#pragma once

// Arguments after the mode word: --log PATH (required), --refuse-launch.
int RunServiceMode(int argc, wchar_t** argv);

// Setting this event ends the service in either mode; a test uses it for a service that
// cannot take the stop control because it never finished starting.
constexpr wchar_t kServiceStopEventName[] = L"Global\\TolmeraCounterpart.Stop";
