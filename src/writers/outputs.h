#ifndef CDBBEM_WRITERS_OUTPUTS_H_
#define CDBBEM_WRITERS_OUTPUTS_H_

namespace cdbbem {

class output_channel;
struct model;

/// Writes the model file on `model_out`, then the plot file on `plot_out`,
/// as one thread would.  With two threads or more the plot file is written
/// beside the model file; where the system lets two threads write one file
/// at two places, the model file's last triangles, its field points and
/// its field cells are written too by the plot file's thread (through
/// `spare`), at the place they will hold, so that both threads have about
/// as much to do.  Every byte of both files is what one thread writes; a
/// failure of the model file wins over one of the plot file.
void write_outputs(const model& m, output_channel& model_out, output_channel& plot_out,
                   output_channel& spare, unsigned threads);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_OUTPUTS_H_
