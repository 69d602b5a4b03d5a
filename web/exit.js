// Linked after the program's JavaScript (--post-js). A program's main() that returns after it
// waited for the browser (Asyncify) returns into the browser's event loop, where nothing takes
// its exit code; here that return becomes exit(code), as a return from main is everywhere else,
// so the runtime ends, static objects are destroyed and the page hears the code (onExit).
(function () {
  var rewind = Asyncify.doRewind;
  Asyncify.doRewind = function (ptr) {
    var start = Asyncify.getDataRewindFunc(ptr);
    var isMain = start === Module['asm']['main'] || start === Module['asm']['__main_argc_argv'];
    var result = rewind.call(Asyncify, ptr);
    if (isMain && !Asyncify.currData && !ABORT) {
      try {
        exit(result);
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    }
    return result;
  };
})();
