// Block slots as the task-set download fills them, for tests of the store.
#ifndef PROBATOR_TESTS_SUPPORT_BLOCK_PAYLOAD_H_
#define PROBATOR_TESTS_SUPPORT_BLOCK_PAYLOAD_H_

#include <cstdint>
#include <string>

#include "common/base64.h"
#include "tester/judge/task_records.h"

// A present slot that carries `bytes`, base64-encoded.
inline BlockPayload payload(const std::string& bytes) {
  BlockPayload slot;
  slot.present = true;
  slot.text = base64_encode(bytes);
  slot.length = static_cast<uint32_t>(slot.text.size());
  return slot;
}

#endif  // PROBATOR_TESTS_SUPPORT_BLOCK_PAYLOAD_H_
