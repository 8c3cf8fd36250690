// Start-up and shutdown of the codec module.
#pragma once

namespace png {

// Registers the nine standard chunk classes and the "PNG" picture format.
void ModuleStartup();
// Withdraws the picture format and releases the chunk class registry.
void ModuleShutdown();

// Runs the start-up for its lifetime: the program's main code runs inside one of these.
class CodecModule {
 public:
  CodecModule() { ModuleStartup(); }
  ~CodecModule() { ModuleShutdown(); }
  CodecModule(const CodecModule&) = delete;
  CodecModule& operator=(const CodecModule&) = delete;
};

}  // namespace png
