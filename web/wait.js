// The wait that gives the browser control (web/library.cpp), as a JavaScript library function:
// it suspends the program through Asyncify and resumes it from a message or a timer. A message
// comes at once, where a timer set from a timer is held back 4 ms or more. An exit the program
// calls once resumed ends it quietly, as emscripten_sleep's would.
mergeInto(LibraryManager.library, {
  web_wait_for_browser__deps: ["$callUserCallback"],
  web_wait_for_browser: function (ms) {
    Asyncify.handleSleep(wakeUp => {
      const resume = () => callUserCallback(wakeUp);
      if (ms > 0) return setTimeout(resume, ms);
      const channel = new MessageChannel();
      channel.port1.onmessage = resume;
      channel.port2.postMessage(0);
    });
  },
});
