#ifndef CDBBEM_WRITERS_OUTPUTS_H_
#define CDBBEM_WRITERS_OUTPUTS_H_

namespace cdbbem {

class output_channel;
struct model;

/// Writes the model file on `model_out`, then the plot file on `plot_out`,
/// every byte by this thread, in that order.  With two threads or more,
/// and a model whose numbers all fit their fields, a second thread formats
/// every other piece of records into bounded buffers (through `spare`,
/// which it leaves open on buffers that are gone) that this thread writes
/// in their turn.  Failures are those of the one-thread writing, at the
/// same records.
void write_outputs(const model& m, output_channel& model_out, output_channel& plot_out,
                   output_channel& spare, unsigned threads);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_OUTPUTS_H_
