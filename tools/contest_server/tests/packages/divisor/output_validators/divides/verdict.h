// Exit codes of an output validator.
#pragma once
constexpr int kAccept = 42;
constexpr int kReject = 43;
