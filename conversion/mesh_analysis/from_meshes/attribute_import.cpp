#include <conversion/mesh_analysis/from_meshes/attribute_import.h>

#include <algorithm>
#include <numeric>
#include <string>

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/attribute_manager.h>
#include <vorna/conversion/common/read_only_attribute.h>

namespace vorna
{
    namespace detail
    {
        namespace from_meshes
        {
            /// A working copy of one input's vertex or polygon attributes, for
            /// an input that several surfaces import from. Before each import
            /// the elements that the surface takes are swapped to the front, so
            /// the import walks only them: importing straight from the input
            /// would walk the whole input once per surface.
            class AttributeGatherer
            {
              public:
                /// to_merged: the merged element of every input element.
                AttributeGatherer( const AttributeManager& from,
                                   absl::Span< const index_t > to_merged,
                                   index_t nb_merged )
                    : nb_elements_(
                          static_cast< index_t >( to_merged.size() ) ),
                      offsets_( nb_merged + 1, 0 ), elements_( nb_elements_ ),
                      position_( nb_elements_ ), element_at_( nb_elements_ )
                {
                    for( const auto merged : to_merged )
                    {
                        offsets_[merged + 1]++;
                    }
                    std::partial_sum(
                        offsets_.begin(), offsets_.end(), offsets_.begin() );
                    auto next = offsets_;
                    for( index_t e = 0; e < nb_elements_; e++ )
                    {
                        elements_[next[to_merged[e]]++] = e;
                    }
                    std::iota( position_.begin(), position_.end(), 0u );
                    std::iota( element_at_.begin(), element_at_.end(), 0u );
                    working_.copy( from );
                    // One more element, scratch space for swapping two values.
                    working_.resize( nb_elements_ + 1 );
                }

                /// Imports into `to`, as an import from the input with an
                /// old-to-new list would: every input element whose merged
                /// element stands in merged_targets takes that pair's target.
                void
                import_into( AttributeManager& to,
                             absl::Span< const std::pair< index_t, index_t > >
                                 merged_targets )
                {
                    std::vector< std::pair< index_t, index_t > > taken;
                    for( const auto& merged_target : merged_targets )
                    {
                        const auto merged = merged_target.first;
                        for( auto k = offsets_[merged];
                             k < offsets_[merged + 1];
                             k++ )
                        {
                            taken.emplace_back( elements_[k],
                                                merged_target.second );
                        }
                    }
                    // Ascending input order, so that of two elements sent to
                    // one target the later wins, as in a whole-input import.
                    std::sort( taken.begin(), taken.end() );
                    std::vector< index_t > old2new( taken.size() );
                    for( index_t j = 0; j < taken.size(); j++ )
                    {
                        move_to( taken[j].first, j );
                        old2new[j] = taken[j].second;
                    }
                    to.import( working_, old2new );
                }

              private:
                void move_to( index_t element, index_t position )
                {
                    const auto current = position_[element];
                    if( current == position )
                    {
                        return;
                    }
                    working_.copy_attribute_value( position, nb_elements_ );
                    working_.copy_attribute_value( current, position );
                    working_.copy_attribute_value( nb_elements_, current );
                    const auto displaced = element_at_[position];
                    element_at_[position] = element;
                    element_at_[current] = displaced;
                    position_[element] = position;
                    position_[displaced] = current;
                }

                index_t nb_elements_;
                // Input elements grouped by merged element: those of merged
                // element m are elements_[offsets_[m] .. offsets_[m + 1]).
                std::vector< index_t > offsets_;
                std::vector< index_t > elements_;
                AttributeManager working_;
                std::vector< index_t > position_;
                std::vector< index_t > element_at_;
            };

            AttributeImporter::AttributeImporter(
                std::vector< const AttributeManager* > managers,
                std::vector< absl::Span< const index_t > > to_merged,
                index_t nb_merged )
                : managers_( std::move( managers ) ),
                  to_merged_( std::move( to_merged ) ), nb_merged_( nb_merged ),
                  offsets_( nb_merged + 1, 0 ), nb_uses_( managers_.size(), 0 ),
                  gatherers_( managers_.size() ),
                  merged_to_surface_( nb_merged, INVALID_INDEX ),
                  input_targets_( managers_.size() )
            {
                // Inputs without attributes need no look-up at all.
                for( auto& manager : managers_ )
                {
                    if( manager && manager->attribute_names().empty() )
                    {
                        manager = nullptr;
                    }
                }
                // Counted then filled, each input once per merged element:
                // inputs come in ascending order, so a repeat is the last.
                std::vector< index_t > last( nb_merged );
                const auto for_each_pair = [&]( auto&& visit )
                {
                    std::fill( last.begin(), last.end(), INVALID_INDEX );
                    for( index_t i = 0; i < managers_.size(); i++ )
                    {
                        if( !managers_[i] )
                        {
                            continue;
                        }
                        for( const auto merged : to_merged_[i] )
                        {
                            if( last[merged] != i )
                            {
                                last[merged] = i;
                                visit( merged, i );
                            }
                        }
                    }
                };
                for_each_pair( [this]( index_t merged, index_t /*input*/ )
                               { offsets_[merged + 1]++; } );
                std::partial_sum(
                    offsets_.begin(), offsets_.end(), offsets_.begin() );
                inputs_.resize( offsets_.back() );
                auto next = offsets_;
                for_each_pair( [this, &next]( index_t merged, index_t input )
                               { inputs_[next[merged]++] = input; } );
            }

            AttributeImporter::~AttributeImporter() = default;

            void AttributeImporter::import(
                AttributeManager& to,
                absl::Span< const std::pair< index_t, index_t > > targets )
            {
                std::vector< index_t > touched;
                for( const auto& target : targets )
                {
                    for( auto k = offsets_[target.first];
                         k < offsets_[target.first + 1];
                         k++ )
                    {
                        auto& input_targets = input_targets_[inputs_[k]];
                        if( input_targets.empty() )
                        {
                            touched.push_back( inputs_[k] );
                        }
                        input_targets.push_back( target );
                    }
                }
                std::sort( touched.begin(), touched.end() );
                if( touched.size() == 1 )
                {
                    import_from(
                        touched.front(), to, input_targets_[touched.front()] );
                    input_targets_[touched.front()].clear();
                    return;
                }
                // Several inputs: each brings its values into a scratch
                // manager, from which every attribute takes the elements
                // that no earlier input gave a value of that name.
                absl::flat_hash_map< std::string, std::vector< bool > > given;
                for( const auto input : touched )
                {
                    auto& input_targets = input_targets_[input];
                    AttributeManager scratch;
                    scratch.resize( to.nb_elements() );
                    import_from( input, scratch, input_targets );
                    for( const auto& name : scratch.attribute_names() )
                    {
                        auto attribute = scratch.find_attribute_base( name );
                        auto& done = given[name];
                        std::vector< index_t > elements;
                        if( done.empty() )
                        {
                            done.assign( to.nb_elements(), false );
                            to.register_attribute( std::move( attribute ),
                                                   name );
                        }
                        else
                        {
                            for( const auto& target : input_targets )
                            {
                                if( !done[target.second] )
                                {
                                    elements.push_back( target.second );
                                }
                            }
                            auto* copier =
                                dynamic_cast< AttributeValuesCopier* >(
                                    to.find_attribute_base( name ).get() );
                            // Values of another type under the same name stay
                            // with the first input that gave that name.
                            if( !copier || !copier->copy_values_from(
                                               *attribute, elements ) )
                            {
                                continue;
                            }
                        }
                        for( const auto& target : input_targets )
                        {
                            done[target.second] = true;
                        }
                    }
                    input_targets.clear();
                }
            }

            void AttributeImporter::import_from(
                index_t input,
                AttributeManager& to,
                absl::Span< const std::pair< index_t, index_t > > targets )
            {
                const auto& from = *managers_[input];
                if( ++nb_uses_[input] > 1 )
                {
                    // A whole-input walk per surface would be quadratic.
                    auto& gatherer = gatherers_[input];
                    if( !gatherer )
                    {
                        gatherer = std::make_unique< AttributeGatherer >(
                            from, to_merged_[input], nb_merged_ );
                    }
                    gatherer->import_into( to, targets );
                    return;
                }
                for( const auto& target : targets )
                {
                    merged_to_surface_[target.first] = target.second;
                }
                const auto& to_merged = to_merged_[input];
                std::vector< index_t > old2new( to_merged.size() );
                for( index_t e = 0; e < old2new.size(); e++ )
                {
                    old2new[e] = merged_to_surface_[to_merged[e]];
                }
                for( const auto& target : targets )
                {
                    merged_to_surface_[target.first] = INVALID_INDEX;
                }
                to.import( from, old2new );
            }
        } // namespace from_meshes
    }     // namespace detail
} // namespace vorna
