namespace trim {}
