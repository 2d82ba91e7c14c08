#pragma once

// Asked between two requests whether the user wants the update stopped (a front end with a way
// to interrupt provides it). Never asked once the last block is written.
class StopRequest {
 public:
  virtual ~StopRequest() = default;
  virtual bool Requested() const = 0;
};

// Keeps the user's usual ways of ending a program from ending an update unasked while it writes
// the ESC (a terminal's interrupts and job control, a page being left). Raised from the system
// lock to the end; a front end without such ways needs none.
class UpdateGuard {
 public:
  virtual ~UpdateGuard() = default;
  virtual void Raise() = 0;
  virtual void Lower() = 0;
  // Whether the user, warned, insisted on stopping while the guard was raised.
  virtual const StopRequest& stop() const = 0;
};
