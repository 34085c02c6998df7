// How far a job of the pipeline has come, for a front end to show: a
// command line's bar, a page's progress element. Every call comes on the
// thread that runs the job. The default does nothing.
#ifndef LUMIRUN_PIPELINE_JOB_PROGRESS_H
#define LUMIRUN_PIPELINE_JOB_PROGRESS_H

class job_progress {
public:
    virtual ~job_progress() = default;
    // A picture's render at pass (1 or 2) and percent, as the renderer
    // reports it.
    virtual void update(int /*pass*/, int /*percent*/) {}
    // A movie's frame (from 0) of frames, while measuring every frame or
    // while rendering them, at pass and percent of that frame.
    virtual void update_movie(bool /*measuring*/, int /*frame*/, int /*frames*/, int /*pass*/, int /*percent*/) {}
    // A picture's render ended well.
    virtual void complete() {}
    // A movie's frames are all rendered and written.
    virtual void complete_movie(int /*frames*/) {}
    // The job stopped before its end.
    virtual void finish() {}
};

#endif
