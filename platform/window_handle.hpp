#pragma once
// An opaque window identity as the platform layer hands it out; null is
// "no window".
using WindowHandle = void*;
