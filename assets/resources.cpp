// Holds the compiled-in design pictures; nothing to call.
